#include "ConVentana.h"

#include "ReporteroVentana.h"
#include "TDatos.h"
#include "TForm1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "Editores.h"

namespace {

using Reloj = std::chrono::steady_clock;

class Reportero : public ReporteroVentana {
public:
    void AtenderMensajes(const RegistroEnCurso& r) override {
        ++mensajes;
        ReporteroVentana::AtenderMensajes(r);
    }
    long mensajes = 0;
};

// Notes the moment each message box is shown.
class Vigia : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show)
            if (auto* caja = qobject_cast<QMessageBox*>(o)) {
                ++cajas;
                ultima = Reloj::now();
                texto = caja->text().toStdString();
            }
        return false;
    }
    long cajas = 0;
    Reloj::time_point ultima;
    std::string texto;
};

} // namespace

MedidaVentana ConVentana(const std::string& traspaso, const std::string& carpeta,
                         const std::string& base) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char nombre[] = "traspaso_bench";
    static char* argv[] = {nombre, nullptr};
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("traspaso-maestros"));
    TForm1::PonerFuente(app);

    Reportero reportero;
    TDatos datos(reportero);
    TForm1 form(datos);
    reportero.form = &form;
    form.DirectoryEditDatosFacturaPlus->setText(QString::fromStdString(carpeta));
    form.FilenameEditRutaGDB->setText(QString::fromStdString(base));
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) throw std::runtime_error("the window never showed");

    QPushButton* boton = traspaso == "agentes"       ? form.Button4
                         : traspaso == "proveedores" ? form.Button3
                         : traspaso == "clientes"    ? form.Button1
                         : traspaso == "articulos"   ? form.Button2
                                                     : nullptr;
    if (!boton) throw std::runtime_error("unknown transfer " + traspaso);

    Vigia vigia;
    app.installEventFilter(&vigia);
    // Armed before the press: the box is modal and the press returns only once it is answered.
    QTimer contestador;
    contestador.setInterval(5);
    QObject::connect(&contestador, &QTimer::timeout, [] {
        auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (caja && caja->isVisible() && !caja->buttons().isEmpty())
            caja->buttons().first()->click();
    });
    contestador.start();

    auto inicio = Reloj::now();
    boton->click();
    contestador.stop();
    app.removeEventFilter(&vigia);

    MedidaVentana m;
    m.segundos = std::chrono::duration<double>(vigia.ultima - inicio).count();
    m.cajas = vigia.cajas;
    m.mensajes = reportero.mensajes;
    m.ultimaCaja = vigia.texto;
    form.close();
    reportero.form = nullptr;
    return m;
}
