// traspaso-maestros: the window program.
#include "ReporteroVentana.h"
#include "TDatos.h"
#include "TForm1.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // No display name: the platform would append it to every box's caption ("Aviso — ...").
    app.setApplicationName(QStringLiteral("traspaso-maestros"));
    app.setDesktopFileName(QStringLiteral("traspaso-maestros")); // the installed entry and icon
    TForm1::PonerFuente(app);
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
