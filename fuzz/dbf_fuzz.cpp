// libFuzzer target for the dBase reader: any bytes must give a table or a DbfError, never a
// crash, a hang or a read outside the file; and every message must be UTF-8.
#include "DbfTable.h"
#include "MensajeValido.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = memfd_create("dbf", 0);
    if (fd < 0) return 0;
    if (size && write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    try {
        DbfTable t("/proc/self/fd/" + std::to_string(fd));
        for (uint32_t r = 0; r < t.RecordCount(); ++r) {
            (void)t.IsDeleted(r);
            for (int f = 0; f < static_cast<int>(t.Fields().size()); ++f) {
                try {
                    switch (t.Fields()[f].type) {
                    case 'C':
                        (void)t.Text(r, f);
                        break;
                    case 'N':
                    case 'F':
                        (void)t.Number(r, f);
                        break;
                    case 'L':
                        (void)t.Logical(r, f);
                        break;
                    case 'D':
                        (void)t.DateValue(r, f);
                        break;
                    default:
                        (void)t.Key(r, f);
                        break;
                    }
                } catch (const DbfError& e) {
                    CheckMessage(e);
                }
            }
        }
        // Backwards, by live position and after letting go of what was read: other windows.
        t.ReleaseBuffers();
        for (uint32_t r = t.RecordCount(); r-- > 0;)
            (void)t.Key(r, 0);
        for (uint32_t n = 0; n < t.LiveCount(); ++n)
            if (t.IsDeleted(t.LiveRecord(n))) std::abort();
        (void)t.CountMismatch();
        (void)t.PageReason();
        if (!t.PageWarning().empty()) CheckMessage(DbfError(t.PageWarning()));
        t.CheckUnchanged();
        // Read in a page the operator chose: no weighing, and every text decodes or says why.
        DbfTable chosen("/proc/self/fd/" + std::to_string(fd), size % 2 ? 437 : 1252);
        for (uint32_t r = 0; r < chosen.RecordCount() && r < 64; ++r)
            for (int f = 0; f < static_cast<int>(chosen.Fields().size()); ++f)
                if (chosen.Fields()[f].type == 'C') try {
                        (void)chosen.Text(r, f);
                    } catch (const DbfError& e) {
                        CheckMessage(e);
                    }
    } catch (const DbfError& e) {
        CheckMessage(e);
    }
    close(fd);
    return 0;
}
