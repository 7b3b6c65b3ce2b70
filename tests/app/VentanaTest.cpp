// The window, offscreen, with its boxes answered by the test.
#include "Comprobar.h"
#include "DbfWriter.h"
#include "Editores.h"
#include "IBDatabase.h"
#include "ReporteroVentana.h"
#include "Session.h"
#include "TDatos.h"
#include "TForm1.h"
#include "TargetReader.h"
#include "TempDir.h"
#include "TestDatabase.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

// The program's own reporter, keeping what it was given on the way to the window.
class Reportero : public ReporteroVentana {
public:
    QStringList estados;
    std::function<void()> alAtender;
    void MostrarEstado(const std::string& t, bool caja) override {
        estados << QString::fromStdString(t);
        ReporteroVentana::MostrarEstado(t, caja);
    }
    void AtenderMensajes(const RegistroEnCurso& r) override {
        ReporteroVentana::AtenderMensajes(r);
        if (alAtender) alAtender();
    }
};

struct Caja {
    QString titulo, texto;
    QMessageBox::Icon icono;
    QStringList botones;
};

// Answers every modal box that opens, pressing its first button, and keeps what it showed.
class Contestador : public QObject {
public:
    Contestador() {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            if (alVer) alVer();
            Caja c{box->windowTitle(), box->text(), box->icon(), {}};
            for (QAbstractButton* b : box->buttons())
                c.botones << b->text();
            cajas.push_back(c);
            box->buttons().first()->click();
        });
        timer_.start();
    }
    std::vector<Caja> cajas;
    std::function<void()> alVer; // when a box is seen, before it is answered

private:
    QTimer timer_;
};

// Answers the next file or folder dialog: keeps the folder it opened at and its buttons' texts,
// then cancels it.
struct DialogoVisto {
    QString carpeta, titulo;
    QStringList botones;
    bool visto = false;
};
void CancelarElProximoDialogo(DialogoVisto& visto) {
    auto* t = new QTimer;
    t->setInterval(10);
    QObject::connect(t, &QTimer::timeout, t, [t, &visto] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!d || !d->isVisible()) return;
        visto.visto = true;
        visto.carpeta = d->directory().absolutePath();
        visto.titulo = d->windowTitle();
        for (QAbstractButton* b : d->findChild<QDialogButtonBox*>()->buttons())
            visto.botones << b->text().remove('&');
        d->reject();
        t->deleteLater();
    });
    t->start();
}

// Where the keyboard focus goes with each press of the key, from the widget that has it.
QList<QWidget*> Recorrido(int pulsaciones, Qt::Key tecla, Qt::KeyboardModifiers mods = {}) {
    QList<QWidget*> vistos;
    for (int i = 0; i < pulsaciones; ++i) {
        QTest::keyClick(QApplication::focusWidget(), tecla, mods);
        vistos << QApplication::focusWidget();
    }
    return vistos;
}

std::string Leer(const std::string& base, const std::string& sql, const std::string& columna) {
    auto rows = QueryRows(base, sql);
    return rows.empty() ? std::string() : std::to_string(std::get<int32_t>(rows[0].at(columna)));
}

} // namespace

class VentanaTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir;
    std::string carpeta, base;
    std::unique_ptr<Reportero> rep;
    std::unique_ptr<TDatos> datos;
    std::unique_ptr<TForm1> form;

    void Abrir() {
        rep = std::make_unique<Reportero>();
        datos = std::make_unique<TDatos>(*rep);
        form = std::make_unique<TForm1>(*datos);
        form->SetRefrescoMs(0); // the grid catches up at every record, so that it can be followed
        rep->form = form.get();
        form->DirectoryEditDatosFacturaPlus->setText(QString::fromStdString(carpeta));
        form->FilenameEditRutaGDB->setText(QString::fromStdString(base));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

private slots:
    void initTestCase() {
        // The program's own face and language, which the boxes and dialogs are checked in.
        TForm1::PonerFuente(*qApp);
        QVERIFY2(TForm1::PonerIdioma(*qApp), "qtbase_es is installed (qt6-translations-l10n)");
    }

    void init() {
        dir = std::make_unique<TempDir>();
        carpeta = dir->File("FacturaPlus");
        base = dir->File("Orvalia.fdb");
        std::filesystem::create_directory(carpeta);
        CreateFixtureDatabase(base);
        WriteFacturaPlusTable(carpeta, "agentes",
                              {{{"CCODAGE", "001"}, {"CNBRAGE", "Ana"}},
                               {{"CCODAGE", "002"}, {"EMAIL", std::string(45, 'e')}},
                               {{"CCODAGE", "003"}, {"CNBRAGE", "Íñigo"}}});
    }
    void cleanup() {
        form.reset();
        datos.reset();
        rep.reset();
        dir.reset();
    }

    void startState() {
        Abrir();
        QCOMPARE(form->windowTitle(), QString("Traspaso de Maestros de FacturaPlus a Orvalia SQL"));
        QCOMPARE(form->DBGrid1->model()->rowCount(), 0);
        QCOMPARE(form->DBGrid1->model()->columnCount(), 0);
        QCOMPARE(form->TextoEstado->text(), QString());
        QCOMPARE(form->Button2->text(), QString("Artículos DBF -> GDB"));
        QCOMPARE(form->Button1->text(), QString("Clientes DBF -> GDB"));
        QCOMPARE(form->Button3->text(), QString("Proveedores DBF -> GDB"));
        QCOMPARE(form->Button4->text(), QString("Agentes DBF -> GDB"));
        QCOMPARE(form->Button4->geometry(), QRect(176, 40, 152, 25));
        QCOMPARE(form->LabelRutaFacturaPlus->text(), QString("Ruta de datos de FacturaPlus"));
        QCOMPARE(form->Label1->text(), QString("Base de datos de Orvalia SQL"));
        QCOMPARE(form->Panel1->height(), 68);
        QCOMPARE(form->StatusBar1->height(), 19);
        QCOMPARE(form->centralWidget()->width(), 926);
        QCOMPARE(form->DirectoryEditDatosFacturaPlus->geometry(), QRect(575, 8, 337, 21));
        QCOMPARE(form->Panel1->palette().color(QPalette::Window), QColor(239, 235, 222));

        // The editors keep their distance to the right edge.
        form->resize(1126, 584);
        QTRY_COMPARE(form->DirectoryEditDatosFacturaPlus->x(), 775);
        QCOMPARE(form->FilenameEditRutaGDB->x(), 775);
        QCOMPARE(form->LabelRutaFacturaPlus->x(), 599);

        QList<QWidget*> orden{form->DBGrid1,
                              form->Button2,
                              form->Button1,
                              form->Button3,
                              form->Button4,
                              form->FilenameEditRutaGDB->Linea(),
                              form->FilenameEditRutaGDB->Boton(),
                              form->DirectoryEditDatosFacturaPlus->Linea(),
                              form->DirectoryEditDatosFacturaPlus->Boton()};
        QList<QWidget*> cadena{form->DBGrid1};
        for (QWidget* w = form->DBGrid1->nextInFocusChain();
             w != form->DBGrid1 && cadena.size() < orden.size(); w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus) cadena << w;
        QCOMPARE(cadena, orden);

        // No typing, pasting or cutting into the editors.
        QLineEdit* linea = form->FilenameEditRutaGDB->Linea();
        QString antes = linea->text();
        linea->setFocus();
        QTest::keyClicks(linea, "zzz");
        QApplication::clipboard()->setText("pegado");
        QTest::keySequence(linea, QKeySequence::Paste);
        QTest::keySequence(linea, QKeySequence::SelectAll);
        QTest::keySequence(linea, QKeySequence::Cut);
        QCOMPARE(linea->text(), antes);
        QVERIFY2(datos->Session1().IsAlias("Aux_Impor_FacturaPlus"), "built when shown");
    }

    void agentsButtonEndToEnd() {
        Abrir();
        Contestador c;
        QStringList vistas;
        rep->alAtender = [&] {
            vistas << QString::number(form->DBGrid1->model()->rowCount());
            QVERIFY(!form->Button4->isEnabled());
            QVERIFY(!form->FilenameEditRutaGDB->isEnabled());
        };
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(rep->estados,
                 (QStringList{"Abriendo consulta de Agentes de Venta",
                              "Consulta de Agentes de Venta ABIERTA", "Actualizando Agentes",
                              "Agentes Añadidos: 2,   Actualizados: 0"}));
        QCOMPARE(vistas, (QStringList{"2", "3", "3"})); // the grid follows the walk
        QCOMPARE(c.cajas.size(), std::size_t(2));
        QCOMPARE(c.cajas[0].titulo, QString("Aviso"));
        QVERIFY(c.cajas[0].texto.contains("EMAIL1"));
        QCOMPARE(c.cajas[0].botones, QStringList{"Aceptar"});
        QCOMPARE(c.cajas[1].titulo, QString("Información"));
        QCOMPARE(c.cajas[1].icono, QMessageBox::Information);
        QCOMPARE(c.cajas[1].texto, QString("Agentes Añadidos: 2,   Actualizados: 0"));
        QCOMPARE(c.cajas[1].botones, QStringList{"Aceptar"});
        QCOMPARE(form->DBGrid1->model()->rowCount(), 0); // empty again after the run
        QVERIFY(form->Button4->isEnabled());
        QCOMPARE(form->TextoEstado->text(), QString("Agentes Añadidos: 2,   Actualizados: 0"));

        // Closing commits and disconnects.
        form->close();
        QVERIFY(!datos->IBDatabase1().Connected());
        QVERIFY(!datos->Session1().IsAlias("Aux_Impor_FacturaPlus"));
        QCOMPARE(Leer(base, "select count(*) as N from AGENTESVENTA", "N"), std::string("2"));
    }

    void clientsAndSuppliersButtons() {
        WriteFacturaPlusTable(carpeta, "clientes",
                              {{{"CCODCLI", "430001"}, {"CNOMCLI", "Ultramarinos García"}},
                               {{"CCODCLI", "430002"}, {"CNBRBCO", "Banco"}}});
        WriteFacturaPlusTable(carpeta, "proveedo", {{{"CCODPRO", "400001"}}});
        Abrir();
        Contestador c;
        QStringList columnas;
        rep->alAtender = [&] {
            columnas << form->DBGrid1->model()->headerData(0, Qt::Horizontal).toString();
        };
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(1));
        QCOMPARE(c.cajas[0].texto, QString("Clientes Añadidos: 2,   Actualizados: 0"));
        QCOMPARE(rep->estados.mid(0, 3),
                 (QStringList{"Abriendo consulta de Clientes", "Consulta de Clientes ABIERTA",
                              "Actualizando Clientes"}));
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(2));
        QCOMPARE(c.cajas[1].texto, QString("Proveedores Añadidos: 1,   Actualizados: 0"));
        QCOMPARE(columnas, (QStringList{"CCODCLI", "CCODCLI", "CCODPRO"}));
        form->close();
        QCOMPARE(Leer(base, "select count(*) as N from CLIENTES", "N"), std::string("2"));
        QCOMPARE(Leer(base, "select count(*) as N from PROVEEDORES", "N"), std::string("1"));
    }

    void articlesButtonRunsFamiliesThenArticles() {
        WriteFacturaPlusTable(carpeta, "familias",
                              {{{"CCODFAM", "FERR"}, {"CNOMFAM", "Ferretería"}},
                               {{"CCODFAM", "PAPE"}, {"CNOMFAM", "Papelería"}}});
        WriteFacturaPlusTable(carpeta, "articulo",
                              {{{"CREF", "A1"}, {"CCODFAM", "FERR"}},
                               {{"CREF", "A2"}, {"CCODFAM", "PAPE"}},
                               {{"CREF", "A3"}, {"CCODFAM", "PAPE"}}});
        WriteFacturaPlusTable(carpeta, "stocks", {});
        WriteFacturaPlusTable(carpeta, "Artcom", {});
        Abrir();
        Contestador c;
        QStringList vistas;
        rep->alAtender = [&] {
            vistas << form->DBGrid1->model()->headerData(0, Qt::Horizontal).toString() + " " +
                          QString::number(form->DBGrid1->model()->rowCount());
        };
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(2));
        QCOMPARE(c.cajas[0].texto, QString("Familias de Artículos Añadidas: 2,   Actualizadas: 0"));
        QCOMPARE(c.cajas[1].texto, QString("Artículos Añadidos: 3,   Actualizados: 0"));
        QCOMPARE(vistas, (QStringList{"CCODFAM 2", "CCODFAM 2", "CREF 2", "CREF 3", "CREF 3"}));
        QCOMPARE(
            rep->estados,
            (QStringList{"Actualizando Familias de Artículos",
                         "Familias de Artículos Añadidas: 2,   Actualizadas: 0",
                         "Abriendo consulta de Artículos", "Consulta de Artículos ABIERTA",
                         "Actualizando Artículos", "Artículos Añadidos: 3,   Actualizados: 0"}));
        form->close();
        QCOMPARE(Leer(base, "select count(*) as N from ARTICULOS where FAMILIA is not null", "N"),
                 std::string("3"));
    }

    void failedFamiliesKeepTheArticlesFromStarting() {
        WriteFacturaPlusTable(carpeta, "articulo", {{{"CREF", "A1"}}});
        Abrir(); // no familias.dbf in the folder
        Contestador c;
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(1));
        QCOMPARE(c.cajas[0].icono, QMessageBox::Critical);
        QVERIFY2(c.cajas[0].texto.contains("familias"), qPrintable(c.cajas[0].texto));
        QVERIFY(!rep->estados.contains("Actualizando Artículos"));
        form->close();
        QCOMPARE(Leer(base, "select count(*) as N from ARTICULOS", "N"), std::string("0"));
    }

    void gridCatchesUpAtAHumanRateAndAlwaysBeforeABox() {
        std::vector<Fila> filas;
        for (int i = 1; i <= 60; ++i)
            filas.push_back({{"CCODAGE", std::to_string(100 + i)},
                             {"EMAIL", i == 40 ? std::string(45, 'e') : std::string()}});
        WriteFacturaPlusTable(carpeta, "agentes", filas);
        Abrir();
        form->SetRefrescoMs(3600 * 1000); // longer than the run: only the first record and boxes
        Contestador c;
        QList<int> filasEnCaja, vistas;
        c.alVer = [&] { filasEnCaja << form->DBGrid1->model()->rowCount(); };
        rep->alAtender = [&] { vistas << form->DBGrid1->model()->rowCount(); };
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(2));
        QCOMPARE(filasEnCaja,
                 (QList<int>{40, 0})); // caught up before the warning; closed by the summary
        QCOMPARE(vistas.size(), 60);
        QCOMPARE(vistas.first(), 2); // the first record is shown at once
        QCOMPARE(vistas[38], 2);     // and then not at every record
        QCOMPARE(vistas[39], 40);
        QCOMPARE(vistas[58], 40);
        QCOMPARE(form->DBGrid1->model()->rowCount(), 0); // the query closed at the end
    }

    void rowNumbersGetTheWidthQtWouldGiveThem() {
        // The grid's row-number header measures only its first and last rows; a plain header on
        // the same rows, measuring a hundred at each end as Qt does, must come out as wide.
        std::vector<Fila> filas;
        for (int i = 1; i <= 150; ++i)
            filas.push_back({{"CCODAGE", std::to_string(1000 + i)}});
        WriteFacturaPlusTable(carpeta, "agentes", filas);
        Abrir();
        Contestador c;
        auto* comun = new QHeaderView(Qt::Vertical, form->DBGrid1); // styled as the grid's own
        comun->hide();
        comun->setModel(form->DBGrid1->model());
        QMap<int, int> anchos, esperados; // by rows shown
        rep->alAtender = [&] {
            const int n = form->DBGrid1->model()->rowCount();
            if (n != 9 && n != 99 && n != 150) return;
            anchos[n] = form->DBGrid1->verticalHeader()->sizeHint().width();
            esperados[n] = comun->sizeHint().width();
        };
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(anchos.keys(), (QList<int>{9, 99, 150}));
        QCOMPARE(anchos, esperados);
        QVERIFY(anchos[150] > anchos[9]); // three digits take more room than one
    }

    void missingTableGivesOneErrorBox() {
        std::filesystem::remove(carpeta + "/agentes.dbf");
        Abrir();
        Contestador c;
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(1));
        QCOMPARE(c.cajas[0].titulo, QString("Traspaso de Maestros de FacturaPlus a Orvalia SQL"));
        QCOMPARE(c.cajas[0].icono, QMessageBox::Critical);
        QVERIFY2(c.cajas[0].texto.contains("agentes.dbf"), qPrintable(c.cajas[0].texto));
        QVERIFY2(form->Button4->isEnabled(), "back to idle");
    }

    void fullStopRule() {
        Contestador c;
        TForm1::MostrarError(nullptr, "Falta la tabla");
        TForm1::MostrarError(nullptr, "Termina en punto.");
        TForm1::MostrarError(nullptr, "Termina en (paréntesis)");
        TForm1::MostrarError(nullptr, "Número 7");
        QCOMPARE(c.cajas.size(), std::size_t(4));
        QCOMPARE(c.cajas[0].texto, QString("Falta la tabla."));
        QCOMPARE(c.cajas[1].texto, QString("Termina en punto."));
        QCOMPARE(c.cajas[2].texto, QString("Termina en (paréntesis)"));
        QCOMPARE(c.cajas[3].texto, QString("Número 7."));
    }

    void anotherDatabaseWhileConnectedIsRefused() {
        Abrir();
        Contestador c;
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        c.cajas.clear();
        QString otra = QString::fromStdString(dir->File("otra.fdb"));
        form->FilenameEditRutaGDB->Dialogo = [&](const QString&) { return otra; };
        form->FilenameEditRutaGDB->AbrirDialogo();
        QCOMPARE(c.cajas.size(), std::size_t(1));
        QCOMPARE(c.cajas[0].texto, QString("Cannot perform operation -- DB is currently open."));
        QCOMPARE(form->FilenameEditRutaGDB->text(), QString::fromStdString(base));
        // A cancelled dialog hands back the same path, which changes nothing.
        form->FilenameEditRutaGDB->Dialogo = [](const QString& actual) { return actual; };
        form->FilenameEditRutaGDB->AbrirDialogo();
        QCOMPARE(c.cajas.size(), std::size_t(1));
    }

    void folderDialogRebuildsTheAlias() {
        Abrir();
        std::string otra = dir->File("Otra");
        std::filesystem::create_directory(otra);
        form->DirectoryEditDatosFacturaPlus->Dialogo = [&](const QString&) {
            return QString::fromStdString(otra);
        };
        form->DirectoryEditDatosFacturaPlus->AbrirDialogo();
        QCOMPARE(form->DirectoryEditDatosFacturaPlus->text(), QString::fromStdString(otra));
        QCOMPARE(datos->Session1().GetAlias("Aux_Impor_FacturaPlus").params.at("PATH"), otra);

        // A cancel hands back the editor's own folder: the alias stays on it.
        form->DirectoryEditDatosFacturaPlus->Dialogo = [](const QString& actual) { return actual; };
        form->DirectoryEditDatosFacturaPlus->AbrirDialogo();
        QCOMPARE(datos->Session1().GetAlias("Aux_Impor_FacturaPlus").params.at("PATH"), otra);

        // The next transfer reads the tables of the chosen folder.
        WriteFacturaPlusTable(otra, "agentes", {{{"CCODAGE", "900"}}});
        Contestador c;
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(1));
        QCOMPARE(c.cajas[0].texto, QString("Agentes Añadidos: 1,   Actualizados: 0"));
    }

    void closingBeforeAnyTransferLeavesTheTargetUntouched() {
        std::string antes = LeerFichero(base);
        Abrir();
        form->close();
        QVERIFY(!datos->IBDatabase1().Connected());
        QCOMPARE(datos->IBDatabase1().AttachCount(), 0);
        QVERIFY(LeerFichero(base) == antes);
    }

    void closeDuringARunStopsAfterTheCurrentRecord() {
        Abrir();
        Contestador c;
        rep->alAtender = [&] {
            if (rep->estados.size() == 3 && form->isVisible()) form->close(); // after record 1
        };
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QTRY_VERIFY(!form->isVisible());
        QVERIFY2(!datos->IBDatabase1().Connected(), "the closing steps ran");
        QCOMPARE(rep->estados.size(), 3); // no summary
        QVERIFY(c.cajas.empty());
        QCOMPARE(Leer(base, "select count(*) as N from AGENTESVENTA", "N"), std::string("1"));
    }

    void droppedFileBecomesTheTarget() {
        Abrir();
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile("/tmp/soltado.fdb")});
        QLineEdit* linea = form->FilenameEditRutaGDB->Linea();
        QDragEnterEvent entra(QPoint(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(linea, &entra);
        QVERIFY(entra.isAccepted());
        QDropEvent suelta(QPointF(5, 5), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(linea, &suelta);
        QCOMPARE(linea->text(), QString("/tmp/soltado.fdb"));
        QCOMPARE(datos->IBDatabase1().DatabaseName(), std::string()); // nothing else happens
        delete mime;
    }

    void tabAndShiftTabGoRoundEveryControl() {
        Abrir();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QCOMPARE(QApplication::focusWidget(), form->DBGrid1); // the grid first
        const QList<QWidget*> orden{form->Button2,
                                    form->Button1,
                                    form->Button3,
                                    form->Button4,
                                    form->FilenameEditRutaGDB->Linea(),
                                    form->FilenameEditRutaGDB->Boton(),
                                    form->DirectoryEditDatosFacturaPlus->Linea(),
                                    form->DirectoryEditDatosFacturaPlus->Boton(),
                                    form->DBGrid1};
        QCOMPARE(Recorrido(orden.size(), Qt::Key_Tab), orden);
        QCOMPARE(Recorrido(orden.size(), Qt::Key_Tab), orden); // round again, the grid let go
        QList<QWidget*> atras = orden.mid(0, orden.size() - 1);
        std::reverse(atras.begin(), atras.end());
        atras << form->DBGrid1;
        QCOMPARE(Recorrido(orden.size(), Qt::Key_Backtab, Qt::ShiftModifier), atras);

        // Each control says what it is; each label names its editor.
        for (QWidget* w : orden) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            QVERIFY(a);
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), w->metaObject()->className());
        }
        QCOMPARE(form->Button2->accessibleName(), QString("Artículos DBF a GDB"));
        QCOMPARE(form->LabelRutaFacturaPlus->buddy(), form->DirectoryEditDatosFacturaPlus->Linea());
        QCOMPARE(form->Label1->buddy(), form->FilenameEditRutaGDB->Linea());
        QCOMPARE(form->DirectoryEditDatosFacturaPlus->Linea()->accessibleName(),
                 QString("Ruta de datos de FacturaPlus"));
        QCOMPARE(form->FilenameEditRutaGDB->Boton()->accessibleName(),
                 QString("Elegir la base de datos de Orvalia SQL"));
    }

    void keysOpenTheDialogsAndPressTheButtons() {
        Abrir();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        int abiertos = 0;
        form->DirectoryEditDatosFacturaPlus->Dialogo = [&](const QString& actual) {
            ++abiertos;
            return actual;
        };
        QLineEdit* linea = form->DirectoryEditDatosFacturaPlus->Linea();
        linea->setFocus();
        QTest::keyClick(linea, Qt::Key_Return);
        QTest::keyClick(linea, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(linea, Qt::Key_Space);
        QTest::keyClick(linea, Qt::Key_Down, Qt::AltModifier);
        QTest::keyClick(linea, Qt::Key_F4);
        QCOMPARE(abiertos, 5);
        QTest::keyClick(linea, Qt::Key_Down); // not without Alt
        QTest::keyClick(linea, Qt::Key_A);
        QTest::keyClick(linea, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(abiertos, 5);
        QToolButton* boton = form->DirectoryEditDatosFacturaPlus->Boton();
        boton->setFocus();
        QTest::keyClick(boton, Qt::Key_Space);
        QTest::keyClick(boton, Qt::Key_Return);
        QCOMPARE(abiertos, 7);

        // Return on a transfer button runs it, and the focus is back on the button afterwards.
        Contestador c;
        form->Button4->setFocus();
        QTest::keyClick(form->Button4, Qt::Key_Return);
        QCOMPARE(c.cajas.size(), std::size_t(2));
        QCOMPARE(c.cajas[1].texto, QString("Agentes Añadidos: 2,   Actualizados: 0"));
        QCOMPARE(form->focusWidget(), form->Button4);
        QTest::keyClick(form->Button4, Qt::Key_Space);
        QCOMPARE(c.cajas.size(), std::size_t(4)); // the same warning, then the summary
        QCOMPARE(c.cajas[3].texto, QString("Agentes Añadidos: 0,   Actualizados: 2"));
    }

    void qtDialogsAndButtonsSpeakSpanish() {
        Abrir();
        DialogoVisto fichero;
        CancelarElProximoDialogo(fichero);
        QTest::keyClick(form->FilenameEditRutaGDB->Linea(), Qt::Key_Return);
        QVERIFY(fichero.visto);
        QCOMPARE(fichero.titulo, QString("Seleccione la Base de datos de Orvalia SQL"));
        QCOMPARE(fichero.botones, (QStringList{"Abrir", "Cancelar"}));
        QCOMPARE(fichero.carpeta, QFileInfo(QString::fromStdString(base)).absolutePath());
        QCOMPARE(form->FilenameEditRutaGDB->text(), QString::fromStdString(base)); // cancelled

        DialogoVisto carpetaVista;
        CancelarElProximoDialogo(carpetaVista);
        QTest::keyClick(form->DirectoryEditDatosFacturaPlus->Linea(), Qt::Key_Down,
                        Qt::AltModifier);
        QVERIFY(carpetaVista.visto);
        QCOMPARE(carpetaVista.carpeta, QString::fromStdString(carpeta));
        QCOMPARE(carpetaVista.botones.last(), QString("Cancelar"));

        // The error box's one standard button.
        Contestador c;
        TForm1::MostrarError(form.get(), "Falta la tabla");
        QCOMPARE(c.cajas.at(0).botones, QStringList{"Aceptar"});
    }

    void dialogsStartAtHomeWhenThePresetPathIsNotThere() {
        Abrir();
        const QString noEsta = QString::fromStdString(dir->File("no-esta"));
        form->DirectoryEditDatosFacturaPlus->setText(noEsta);
        form->FilenameEditRutaGDB->setText(noEsta + "/Orvalia.fdb");
        DialogoVisto carpetaVista, fichero;
        CancelarElProximoDialogo(carpetaVista);
        form->DirectoryEditDatosFacturaPlus->AbrirDialogo();
        CancelarElProximoDialogo(fichero);
        form->FilenameEditRutaGDB->AbrirDialogo();
        QVERIFY(carpetaVista.visto && fichero.visto);
        QCOMPARE(carpetaVista.carpeta, QDir::homePath());
        QCOMPARE(fichero.carpeta, QDir::homePath());
        QCOMPARE(form->DirectoryEditDatosFacturaPlus->text(), noEsta); // a cancel changes nothing
    }

    void boxLinesDoNotTouch() {
        // Two lines as a box lays them out: the deepest descenders of the first and the tallest
        // accented capitals of the second keep at least one blank row of pixels between them.
        QFont f = QApplication::font();
        QCOMPARE(f.pixelSize(), 12);
        QImage hoja(400, 60, QImage::Format_RGB32);
        hoja.fill(Qt::white);
        QPainter p(&hoja);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, 400, 60), Qt::TextWordWrap,
                   QStringLiteral("gjpqy ¿Á? gjpqy ç\nÁÉÍÓÚÑÜ gjpqy ÁÉ"));
        p.end();
        QList<int> filas; // rows with ink
        for (int y = 0; y < hoja.height(); ++y)
            for (int x = 0; x < hoja.width(); ++x)
                if (qGray(hoja.pixel(x, y)) < 128) {
                    filas << y;
                    break;
                }
        QVERIFY(!filas.isEmpty());
        int huecos = 0;
        for (qsizetype i = 1; i < filas.size(); ++i)
            if (filas[i] > filas[i - 1] + 1) ++huecos;
        QVERIFY2(huecos == 1, qPrintable(QStringLiteral("%1, %2 px: rows with ink %3")
                                             .arg(f.family())
                                             .arg(QFontMetrics(f).lineSpacing())
                                             .arg([&] {
                                                 QStringList t;
                                                 for (int y : filas)
                                                     t << QString::number(y);
                                                 return t.join(' ');
                                             }())));
    }

    void minimumSizeKeepsTheLabelsOffTheButtons() {
        Abrir();
        form->resize(300, 100);
        QTRY_COMPARE(form->size(), QSize(TForm1::kAnchoMinimo, TForm1::kAltoMinimo));
        const int botones = form->Button3->geometry().right();
        QVERIFY(form->LabelRutaFacturaPlus->x() > botones + 8);
        QVERIFY(form->Label1->x() > botones + 8);
        QVERIFY(form->LabelRutaFacturaPlus->geometry().right() <
                form->DirectoryEditDatosFacturaPlus->x());
        QVERIFY(form->DirectoryEditDatosFacturaPlus->geometry().right() < form->Panel1->width());
        QVERIFY(form->DBGrid1->height() >= 3 * 18);
    }

    void codePageNoteNamesTheWalkedTableForThisPressOnly() {
        Abrir();
        Contestador c;
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(form->TextoNotas->text(), QString("Agentes de venta: página de códigos 850"));
        const QString tip = form->TextoNotas->toolTip();
        QVERIFY2(tip.startsWith("Agentes de venta (agentes.dbf): página de códigos 850"),
                 qPrintable(tip));
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(form->TextoNotas->toolTip(), tip); // not a line more per press

        // A side table looked up along the way goes in the tip, not over the walked one.
        WriteFacturaPlusTable(carpeta, "clientes", {{{"CCODCLI", "430001"}, {"CCODPROV", "28"}}});
        WriteFacturaPlusTable(carpeta, "PROVINC", {{{"CCODPROV", "28"}, {"CNOMPROV", "Madrid"}}},
                              0x03);
        QTest::mouseClick(form->Button1, Qt::LeftButton);
        QCOMPARE(form->TextoNotas->text(), QString("Clientes: página de códigos 850"));
        QVERIFY2(form->TextoNotas->toolTip().contains("Provincias (PROVINC.dbf): página de "
                                                      "códigos 1252"),
                 qPrintable(form->TextoNotas->toolTip()));
        QVERIFY(!form->TextoNotas->toolTip().contains("agentes.dbf"));
    }

    void anErrorLeavesTheStatusSayingTheTransferStopped() {
        Abrir();
        form->FilenameEditRutaGDB->setText(QString::fromStdString(dir->File("no-esta.fdb")));
        Contestador c;
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(c.cajas.size(), std::size_t(1));
        QCOMPARE(c.cajas[0].icono, QMessageBox::Critical);
        QCOMPARE(rep->estados.last(), QString("Actualizando Agentes")); // where it was
        QCOMPARE(form->TextoEstado->text(), QString("Traspaso detenido por un error"));
        QVERIFY2(form->TextoEstado->toolTip().startsWith("Actualizando Agentes: "),
                 qPrintable(form->TextoEstado->toolTip()));
        QVERIFY(form->TextoEstado->toolTip().contains("no-esta.fdb"));

        // The next press that ends well says so again.
        form->FilenameEditRutaGDB->setText(QString::fromStdString(base));
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        QCOMPARE(form->TextoEstado->text(), QString("Agentes Añadidos: 2,   Actualizados: 0"));
        QCOMPARE(form->TextoEstado->toolTip(), QString());
    }
};

QTEST_MAIN(VentanaTest)
#include "VentanaTest.moc"
