// The list of companies and what running many of them leaves behind.
#include "LoteApoyo.h"
#include "TransferFixture.h"

#include <fstream>

namespace {

class LoteEmpresasTest : public TransferTest {
protected:
    void SetUp() override {
        TransferTest::SetUp();
        datos.reset(); // the batch program opens the targets
        Agentes({{{"CCODAGE", "001"}}, {{"CCODAGE", "002"}}});
    }
    std::string lista = dir.File("empresas.txt");
};

TEST_F(LoteEmpresasTest, AListSavedWithAByteOrderMarkAndWindowsLineEndsIsRead) {
    std::ofstream(lista) << "\xEF\xBB\xBF" << carpeta << "\t" << base << "\r\n";
    SalidaLote s = EjecutarLote({"--empresas", lista, "agentes"});
    EXPECT_EQ(s.estado, 0) << s.out << s.err;
    EXPECT_EQ(I(Leer("select count(*) as N from AGENTESVENTA")[0]["N"]), 2);
}

} // namespace
