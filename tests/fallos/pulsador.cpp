// Loaded into the window program with LD_PRELOAD, so that a test can drive the real program
// without a display or a person: once the window shows, it clicks the button whose text
// FALLOS_PULSAR gives (with the target path FALLOS_DESTINO in its editor first, when given), and
// it tells on the error stream what it sees, one line each:
//   pulsador: ventana            the main window is showing
//   pulsador: pulsado            the button was clicked
//   pulsador: estado <text>      the status bar's text changed
//   pulsador: caja <text>        a modal box opened, with its text
//   pulsador: aceptada           the box was answered (only with FALLOS_ACEPTAR=1)
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Decir(const QString& texto) {
    std::fprintf(stderr, "pulsador: %s\n", texto.toUtf8().constData());
    std::fflush(stderr);
}

QMainWindow* Ventana() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* m = qobject_cast<QMainWindow*>(w); m && m->isVisible()) return m;
    return nullptr;
}

void Vigilar() {
    static bool vista = false, pulsado = false;
    static QWidget* ultimaCaja = nullptr;
    QMainWindow* v = Ventana();
    if (!v) return;
    if (!vista) {
        vista = true;
        Decir("ventana");
    }
    const char* boton = std::getenv("FALLOS_PULSAR");
    if (boton && !pulsado) {
        if (const char* destino = std::getenv("FALLOS_DESTINO"))
            for (QLineEdit* e : v->findChildren<QLineEdit*>())
                if (e->text().endsWith(QStringLiteral(".fdb")))
                    e->setText(QString::fromUtf8(destino));
        for (QPushButton* b : v->findChildren<QPushButton*>()) {
            if (b->text() == QString::fromUtf8(boton) && b->isEnabled()) {
                pulsado = true;
                Decir("pulsado");
                // From an event of its own: the click runs the whole transfer, during which this
                // timer must go on firing.
                QTimer::singleShot(0, b, &QPushButton::click);
                break;
            }
        }
    }
    static QString estado;
    if (QStatusBar* barra = v->statusBar()) {
        QList<QLabel*> textos = barra->findChildren<QLabel*>();
        if (!textos.isEmpty() && textos.first()->text() != estado) {
            estado = textos.first()->text();
            Decir("estado " + estado);
        }
    }
    auto* caja = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (caja && caja != ultimaCaja && caja->isVisible()) {
        ultimaCaja = caja;
        Decir("caja " + caja->text());
        const char* aceptar = std::getenv("FALLOS_ACEPTAR");
        if (aceptar && std::string(aceptar) == "1") {
            QAbstractButton* b = caja->buttons().value(0);
            QTimer::singleShot(0, caja, [b] {
                if (b) b->click();
                Decir("aceptada");
            });
        }
    }
    if (!caja) ultimaCaja = nullptr;
}

void Arrancar() {
    auto* t = new QTimer(QCoreApplication::instance());
    QObject::connect(t, &QTimer::timeout, &Vigilar);
    t->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Arrancar)
