// libFuzzer target for the session and its queries: the input is split into a layout choice, a
// local-SQL text, a parameter and a table file. The text is parsed; the table is put in a folder
// under the name the text asks for; the query is opened with its declared layout and walked,
// and every field is read every way (text, float, integer, boolean, date, null, grid text);
// a second query filters the table's first text column by the parameter through the index.
// Any input must give rows or an Error, never a crash, a hang or a leak; and every message must
// be UTF-8, whatever bytes the input holds.
//   input = [layout byte] text '\n' parameter '\n' table bytes
#include "Layouts.h"
#include "LocalSql.h"
#include "MensajeValido.h"
#include "Session.h"
#include "SourceQuery.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/consulta-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        return pattern;
    }();
    return folder;
}

// The eight layouts of the source queries, and two made from the table's own columns: by
// their kinds, and all as text (which reads numbers from text).
struct OwnLayout {
    std::vector<std::string> names;
    std::vector<FieldDecl> fields;
};
OwnLayout FromTable(const DbfTable& t, bool allText) {
    OwnLayout l;
    l.names.reserve(t.Fields().size());
    for (const DbfField& f : t.Fields()) {
        FieldKind kind = FieldKind::Text;
        switch (f.type) {
        case 'C':
            break;
        case 'N':
        case 'F':
            kind = allText ? FieldKind::Text : FieldKind::Float;
            break;
        case 'L':
            kind = FieldKind::Boolean;
            break;
        case 'D':
            kind = FieldKind::Date;
            break;
        default:
            continue;
        }
        l.names.push_back(f.name);
        l.fields.push_back({nullptr, kind, 10});
    }
    for (std::size_t i = 0; i < l.fields.size(); ++i)
        l.fields[i].name = l.names[i].c_str();
    return l;
}

const std::vector<FieldDecl>& SourceLayout(unsigned choice) {
    using Layout = const std::vector<FieldDecl>& (*)();
    static const Layout kLayouts[] = {
        LayoutArticulos,  LayoutFamilias, LayoutStock,       LayoutArticulosNombreLargo,
        LayoutProvincias, LayoutClientes, LayoutProveedores, LayoutAgentesVenta};
    return kLayouts[choice % 8]();
}

template <typename F> void Absorb(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        CheckMessage(e);
    }
}

void Walk(SourceQuery& q) {
    for (int n = 0; !q.Eof() && n < 5000; ++n) {
        for (const FieldDecl& d : q.Fields()) {
            SourceField f = q.FieldByName(d.name);
            Absorb([&] { (void)f.AsString(); });
            Absorb([&] { (void)f.AsFloat(); });
            Absorb([&] { (void)f.AsInteger(); });
            Absorb([&] { (void)f.AsBoolean(); });
            Absorb([&] { (void)f.AsDate(); });
            Absorb([&] { (void)f.IsNull(); });
        }
        for (int c = 0; c < static_cast<int>(q.Fields().size()); ++c)
            (void)q.DisplayText(q.DeliveredCount() - 1, c);
        q.Next();
    }
    // The grid goes back to rows delivered long ago.
    for (std::size_t row = 0; row < q.DeliveredCount(); row += 97)
        (void)q.DisplayText(row, 0);
    if (q.Table()) {
        (void)q.Table()->CountMismatch();
        (void)q.Table()->PageReason();
        (void)q.Table()->PageWarning();
    }
    q.First();
}

void Run(Session& session, const std::string& text, const std::string& param,
         const std::vector<FieldDecl>& layout) {
    SourceQuery q(session, "qFuzz", 0, {text}, layout);
    q.SetDatabaseName("Fuzz");
    Absorb([&] {
        LocalSelect s = ParseLocalSql(text);
        if (s.where) q.SetParam(s.where->param, param);
        q.Open();
        Walk(q);
        q.Close();
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    unsigned choice = data[0] % 10;
    std::size_t endText = input.find('\n');
    if (endText == std::string::npos) return 0;
    std::size_t endParam = input.find('\n', endText + 1);
    if (endParam == std::string::npos) return 0;
    std::string text = input.substr(0, endText);
    std::string param = input.substr(endText + 1, endParam - endText - 1);
    std::string table = input.substr(endParam + 1);

    std::string name = "tabla";
    Absorb([&] { name = ParseLocalSql(text).table; });
    if (name.size() > 64) name.resize(64);
    for (const auto& e : fs::directory_iterator(Folder()))
        fs::remove(e.path());
    std::ofstream(Folder() + "/" + name + ".dbf", std::ios::binary)
        .write(table.data(), static_cast<std::streamsize>(table.size()));

    Session session("Fuzz");
    session.AddStandardAlias("Fuzz", Folder(), "DBASE");
    if (choice < 8) {
        Run(session, text, param, SourceLayout(choice));
    } else {
        Absorb([&] {
            auto opened = session.OpenTable("Fuzz", name);
            OwnLayout own = FromTable(opened->Table(), choice == 9);
            Run(session, text, param, own.fields);
            // The filtered index, on the table's first text column.
            for (const DbfField& f : opened->Table().Fields())
                if (f.type == 'C') {
                    Run(session, "select * from " + name + " where " + f.name + " = :p", param,
                        own.fields);
                    break;
                }
        });
    }
    return 0;
}
