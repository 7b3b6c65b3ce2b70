// traspaso-maestros: the window program.
#include "ReporteroVentana.h"
#include "TDatos.h"
#include "TForm1.h"

#include <QApplication>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#ifndef TM_VERSION
#define TM_VERSION "0"
#endif

namespace {

const char* const kAyuda =
    "Uso: traspaso-maestros [--version | --help]\n"
    "\n"
    "Abre la ventana que copia los ficheros maestros de FacturaPlus (familias, artículos,\n"
    "clientes, proveedores y agentes de venta) a una base de datos de Orvalia SQL. Elija la\n"
    "carpeta de datos de FacturaPlus y la base de datos con sus botones «…» (o con Intro,\n"
    "Espacio o Alt+Abajo en cada recuadro) y pulse el botón de lo que quiere traspasar.\n"
    "\n"
    "Para traspasar sin ventana, véase traspaso-maestros-lote --help.\n"
    "\n"
    "Opciones:\n"
    "  --version   muestra la versión y termina\n"
    "  --help      muestra esta ayuda y termina\n";

// Answered before Qt starts: neither needs a display, nor opens the window.
bool Respondido(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kAyuda, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("traspaso-maestros %s\n", TM_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (Respondido(argc, argv)) return 0;
    QApplication app(argc, argv);
    // The toolkit has just taken the locale from the environment; numbers read and written
    // through the C library keep their point whatever the desktop's language.
    std::setlocale(LC_NUMERIC, "C");
    // No display name: the platform would append it to every box's caption ("Aviso — ...").
    app.setApplicationName(QStringLiteral("traspaso-maestros"));
    app.setDesktopFileName(QStringLiteral("traspaso-maestros")); // the installed entry and icon
    TForm1::PonerFuente(app);
    if (!TForm1::PonerIdioma(app))
        std::fputs("traspaso-maestros: falta la traducción de Qt al español (paquete "
                   "qt6-translations-l10n); sus diálogos saldrán en inglés\n",
                   stderr);
    ReporteroVentana reportero;
    int resultado = 0;
    {
        TDatos Datos(reportero);
        TForm1 Form1(Datos);
        reportero.form = &Form1;
        Form1.show();
        Datos.AtenderSenales();
        // SIGINT or SIGTERM (a logout, a shutdown): the window closes as by its close button;
        // a box left open would hold it, so it is closed too.
        QTimer vigia;
        QObject::connect(&vigia, &QTimer::timeout, &Form1, [&Form1] {
            if (!TDatos::SenalRecibida()) return;
            if (QWidget* caja = QApplication::activeModalWidget()) caja->close();
            Form1.close();
        });
        vigia.start(200);
        resultado = app.exec();
        reportero.form = nullptr;
    } // the window goes before the data module
    if (TDatos::HayConexionesAbandonadas()) {
        std::fflush(nullptr);
        _exit(resultado); // past the client library's clean-up, which crashes on such a connection
    }
    return resultado;
}
