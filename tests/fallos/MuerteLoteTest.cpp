// The batch program killed (SIGKILL: the power cut of a client) at points swept over a run:
// every record it had shown as committed is in the database, the database is sound, and a new
// run completes it with no code twice, as a clean run would have left it.
#include "Apoyo.h"

#include <csignal>

namespace {

class MuerteLote : public Fallo {};

TEST_F(MuerteLote, KilledAtRecordsSweptOverTheRun) {
    std::vector<std::string> referencia = Referencia("Agente");
    // The first records, the middle, the last ones, the last itself, and after the summary (the
    // closing commit and the detach).
    const std::size_t kFinal = 0;
    for (std::size_t k :
         {std::size_t{1}, std::size_t{2}, std::size_t{1500}, kAgentes - 1, kAgentes, kFinal}) {
        SCOPED_TRACE(k == kFinal ? std::string("after the summary")
                                 : "after record " + std::to_string(k));
        std::string base = Remota("orvalia" + std::to_string(k) + ".fdb");
        Proceso p(Lote(origen, base, "agentes", true));
        std::size_t hechos;
        if (k == kFinal) {
            ASSERT_TRUE(p.EsperarSalida("Agentes Añadidos: 3000", 60s)) << p.Terminar(1s).Todo();
            hechos = kAgentes;
        } else {
            ASSERT_GE(p.EsperarProgreso(k, 60s), k) << p.Terminar(1s).Todo();
            p.Senal(SIGSTOP); // at once: what it has shown is what it had committed
            hechos = p.Progreso();
        }
        p.Senal(SIGKILL);
        Fin f = p.Terminar(30s);
        ASSERT_EQ(f.senal, SIGKILL) << f.Todo();

        std::set<std::string> codigos = CodigosAgentes(base);
        std::size_t perdidos = 0;
        for (std::size_t i = 0; i < hechos; ++i)
            perdidos += codigos.count(Codigo(i)) ? 0 : 1;
        EXPECT_EQ(perdidos, 0u) << "records shown as committed and missing, of " << hechos;
        EXPECT_EQ(Contar(base, "select count(distinct CODIGO) from AGENTESVENTA"),
                  Contar(base, "select count(*) from AGENTESVENTA"));
        EXPECT_EQ(Validar(base), "");

        Fin otra = Ejecutar(Lote(origen, base));
        EXPECT_EQ(otra.estado, 0) << otra.Todo();
        EXPECT_NE(otra.out.find("Agentes Añadidos: " + std::to_string(kAgentes - codigos.size()) +
                                ",   Actualizados: " + std::to_string(codigos.size())),
                  std::string::npos)
            << otra.out;
        EXPECT_EQ(Agentes(base), referencia);
    }
}

} // namespace
