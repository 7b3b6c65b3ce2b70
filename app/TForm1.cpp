#include "TForm1.h"

#include "Editores.h"
#include "Interfaz.h"
#include "ModeloConsulta.h"
#include "TDatos.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kAncho = 926;
constexpr int kAlto = 584;
constexpr int kMargenDerecho = kAncho - (575 + 337); // the editors keep it on resize
constexpr int kLabelsDesdeDerecha = kAncho - 399;

QColor Rgb(int r, int g, int b) {
    return QColor(r, g, b);
}

QPushButton* Boton(QWidget* padre, const char* texto, int x, int y, const char* accion) {
    auto* b = new QPushButton(QString::fromUtf8(texto), padre);
    b->setGeometry(x, y, 152, 25);
    // Read aloud as words, not as «guion mayor que».
    b->setAccessibleName(QString::fromUtf8(texto).replace(QStringLiteral(" -> "), " a "));
    b->setAccessibleDescription(QString::fromUtf8(accion));
    return b;
}

// The row numbers at the grid's left. Qt sizes such a header by measuring the numbers of its
// first and last hundred rows, again after every catch-up with the walk; with digits all of one
// width, the last row's number alone gives the same width.
class CabeceraDeFilas : public QHeaderView {
public:
    explicit CabeceraDeFilas(QWidget* padre) : QHeaderView(Qt::Vertical, padre) {}
    QSize sizeHint() const override {
        if (count() == 0) return QHeaderView::sizeHint();
        return sectionSizeFromContents(0).expandedTo(sectionSizeFromContents(count() - 1));
    }
};

// A source table as the operator calls it, and whether it is the one a button walks (the others
// are side tables the walk looks things up in).
struct NombreDeTabla {
    QString nombre;
    bool recorrida;
};
NombreDeTabla NombreParaElOperador(const InfoTabla& t) {
    static const struct {
        const char* consulta;
        const char* nombre;
        bool recorrida;
    } kNombres[] = {
        {"qFamilias", "Familias de artículos", true},
        {"qArticulos", "Artículos", true},
        {"qClientes", "Clientes", true},
        {"qProveedores", "Proveedores", true},
        {"qAgentesVenta", "Agentes de venta", true},
        {"qStock", "Stock de los artículos", false},
        {"qArticulosNombreLargo", "Comentarios de los artículos", false},
        {"qProvincias", "Provincias", false},
    };
    for (const auto& n : kNombres)
        if (t.consulta == n.consulta) return {QString::fromUtf8(n.nombre), n.recorrida};
    return {QString::fromStdString(t.fichero), false};
}

// fonts-wine's Tahoma draws its small sizes from bitmaps whose line metrics are shorter than
// their own glyphs (at 12 pixels: 10 above the baseline and 2 below, for glyphs that reach 12
// and 3), so that the lines of a box touch. Each bitmap size gets the extent of its glyphs as
// its line metrics, in a copy of the font held in memory. A font without bitmaps is left as is.
QByteArray ConLineasQueNoSeTocan(QByteArray ttf) {
    auto u16 = [&](qsizetype o) {
        return static_cast<qsizetype>(static_cast<unsigned char>(ttf[o]) << 8 |
                                      static_cast<unsigned char>(ttf[o + 1]));
    };
    auto u32 = [&](qsizetype o) { return u16(o) << 16 | u16(o + 2); };
    if (ttf.size() < 12) return ttf;
    for (qsizetype i = 0, n = u16(4); i < n && 12 + 16 * (i + 1) <= ttf.size(); ++i) {
        const qsizetype registro = 12 + 16 * i;
        if (ttf.mid(registro, 4) != "EBLC") continue;
        const qsizetype eblc = u32(registro + 8);
        if (eblc + 8 > ttf.size()) break;
        // Each size: its line metrics at 16 (ascender, descender), its glyphs' extent at 24
        // (highest above the baseline, lowest below), all signed bytes.
        for (qsizetype t = 0, tamanos = u32(eblc + 4); t < tamanos; ++t) {
            const qsizetype m = eblc + 8 + 48 * t;
            if (m + 48 > ttf.size()) break;
            auto byte = [&](qsizetype o) { return static_cast<signed char>(ttf[m + o]); };
            ttf[m + 16] = static_cast<char>(std::max(byte(16), byte(24)));
            ttf[m + 17] = static_cast<char>(std::min(byte(17), byte(25)));
        }
        break;
    }
    return ttf;
}

} // namespace

TForm1::TForm1(TDatos& datos) : datos_(datos) {
    setWindowTitle(QString::fromUtf8(kTituloAplicacion));
    auto* central = new QWidget(this);
    auto* capas = new QVBoxLayout(central);
    capas->setContentsMargins(0, 0, 0, 0);
    capas->setSpacing(0);
    setCentralWidget(central);

    Panel1 = new QFrame(central);
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setFixedHeight(68);
    Panel1->setAutoFillBackground(true);
    QPalette pp = Panel1->palette();
    pp.setColor(QPalette::Window, Rgb(239, 235, 222));
    Panel1->setPalette(pp);
    Panel1->installEventFilter(this);
    capas->addWidget(Panel1);

    Button2 = Boton(Panel1, "Artículos DBF -> GDB", 8, 8,
                    "Traspasa las familias y después los artículos, con sus precios y su stock");
    Button1 = Boton(Panel1, "Clientes DBF -> GDB", 8, 40,
                    "Traspasa los clientes y los datos de su banco");
    Button3 = Boton(Panel1, "Proveedores DBF -> GDB", 176, 8, "Traspasa los proveedores");
    Button4 = Boton(Panel1, "Agentes DBF -> GDB", 176, 40, "Traspasa los agentes de venta");
    LabelRutaFacturaPlus = new QLabel(QStringLiteral("Ruta de datos de FacturaPlus"), Panel1);
    Label1 = new QLabel(QStringLiteral("Base de datos de Orvalia SQL"), Panel1);
    DirectoryEditDatosFacturaPlus = new DirectoryEdit(Panel1);
    FilenameEditRutaGDB = new FilenameEdit(Panel1);
    DirectoryEditDatosFacturaPlus->setText(
        QDir::toNativeSeparators(QDir::homePath() + "/FacturaPlus"));
    FilenameEditRutaGDB->setText(
        QDir::toNativeSeparators(QDir::homePath() + "/FacturaPlus/Orvalia.fdb"));

    DBGrid1 = new QTableView(central);
    DBGrid1->setFrameShape(QFrame::NoFrame);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One line per cell, cut at its edge: no wrapping, no «…» to measure for, which made most
    // of the cost of every catch-up with the walk.
    DBGrid1->setWordWrap(false);
    DBGrid1->setTextElideMode(Qt::ElideNone);
    DBGrid1->setStyleSheet(QStringLiteral(
        "QTableView { background-color: rgb(239, 235, 222); }"
        "QHeaderView::section { background-color: rgb(198, 211, 239); border: 1px solid #a0a0a0;"
        " padding: 0 4px; }"));
    DBGrid1->setVerticalHeader(new CabeceraDeFilas(DBGrid1));
    DBGrid1->verticalHeader()->setMinimumSectionSize(18); // not taller for the face's line
    DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    modelo_ = new ModeloConsulta(datos_.DataSource1, this);
    DBGrid1->setModel(modelo_);
    capas->addWidget(DBGrid1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setAutoFillBackground(true);
    QPalette sp = StatusBar1->palette();
    sp.setColor(QPalette::Window, Rgb(231, 231, 231));
    StatusBar1->setPalette(sp);
    TextoEstado = new QLabel(StatusBar1);
    StatusBar1->addWidget(TextoEstado, 1);
    TextoNotas = new QLabel(StatusBar1);
    TextoNotas->setMaximumWidth(kAncho / 2);
    TextoNotas->setContentsMargins(0, 0, 4, 0); // off the window's edge
    StatusBar1->addPermanentWidget(TextoNotas);
    setStatusBar(StatusBar1);

    PonerTeclado();

    connect(Button2, &QPushButton::clicked, this, &TForm1::suitempButton2Click);
    connect(Button1, &QPushButton::clicked, this, &TForm1::suitempButton1Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::suitempButton3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::suitempButton4Click);
    DirectoryEditDatosFacturaPlus->AfterDialog = [this](const QString& r) {
        return DirectoryEditDatosFacturaPlusAfterDialog(r);
    };
    FilenameEditRutaGDB->AfterDialog = [this](const QString& r) {
        return FilenameEditRutaGDBAfterDialog(r);
    };

    datos_.DataSource1.AlCambiar = [this] { modelo_->Reiniciar(); };

    setMinimumSize(kAnchoMinimo, kAltoMinimo);
    resize(kAncho, kAlto);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = s->availableGeometry();
        move(r.center() - QPoint(kAncho / 2, kAlto / 2));
    }
    ColocarPanel();
}

TForm1::~TForm1() {
    datos_.DataSource1.AlCambiar = nullptr; // the data module outlives the window
}

// Tab goes round every control, the grid first; the labels name their editors; a button with the
// focus is pressed by Return as well as by Space, as on the desktop the program came from.
void TForm1::PonerTeclado() {
    DBGrid1->setTabKeyNavigation(false); // the arrows move between cells; Tab leaves the grid
    DBGrid1->setAccessibleName(QStringLiteral("Registros leídos de FacturaPlus"));
    TextoEstado->setAccessibleName(QStringLiteral("Estado"));
    TextoNotas->setAccessibleName(QStringLiteral("Tabla y página de códigos"));
    DirectoryEditDatosFacturaPlus->Nombrar(LabelRutaFacturaPlus->text(),
                                           QStringLiteral("Elegir la carpeta de FacturaPlus"));
    FilenameEditRutaGDB->Nombrar(Label1->text(),
                                 QStringLiteral("Elegir la base de datos de Orvalia SQL"));
    LabelRutaFacturaPlus->setBuddy(DirectoryEditDatosFacturaPlus->Linea());
    Label1->setBuddy(FilenameEditRutaGDB->Linea());

    const QList<QWidget*> orden = {DBGrid1,
                                   Button2,
                                   Button1,
                                   Button3,
                                   Button4,
                                   FilenameEditRutaGDB->Linea(),
                                   FilenameEditRutaGDB->Boton(),
                                   DirectoryEditDatosFacturaPlus->Linea(),
                                   DirectoryEditDatosFacturaPlus->Boton()};
    for (qsizetype i = 1; i < orden.size(); ++i)
        setTabOrder(orden[i - 1], orden[i]);
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        b->installEventFilter(this);
    DBGrid1->setFocus(); // where the window starts, as first in the order
}

void TForm1::ColocarPanel() {
    int w = Panel1->width() > 0 ? Panel1->width() : kAncho;
    int editorX = w - kMargenDerecho - 337;
    int labelX = w - kLabelsDesdeDerecha;
    LabelRutaFacturaPlus->move(labelX, 12);
    LabelRutaFacturaPlus->adjustSize();
    Label1->move(labelX, 36);
    Label1->adjustSize();
    DirectoryEditDatosFacturaPlus->setGeometry(editorX, 8, 337, 21);
    FilenameEditRutaGDB->setGeometry(editorX, 32, 337, 21);
}

bool TForm1::eventFilter(QObject* o, QEvent* e) {
    if (o == Panel1 && e->type() == QEvent::Resize) ColocarPanel();
    if (e->type() == QEvent::KeyPress)
        if (auto* b = qobject_cast<QPushButton*>(o); b && b->isEnabled()) {
            const auto& k = *static_cast<QKeyEvent*>(e);
            if ((k.key() == Qt::Key_Return || k.key() == Qt::Key_Enter) &&
                (k.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && !k.isAutoRepeat()) {
                b->click();
                return true;
            }
        }
    return QMainWindow::eventFilter(o, e);
}

// ---- what the data module reports ----

void TForm1::MostrarEstado(const std::string& texto, bool caja) {
    TextoEstado->setText(QString::fromStdString(texto));
    if (!caja) return;
    MostrarRejilla();
    QMessageBox box(QMessageBox::Information, QStringLiteral("Información"),
                    QString::fromStdString(texto), QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    box.exec();
}

void TForm1::Aviso(const std::string& texto) {
    MostrarRejilla();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Aviso"), QString::fromStdString(texto),
                    QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("Aceptar"), QMessageBox::AcceptRole);
    box.exec();
}

void TForm1::AtenderMensajes() {
    // The grid catches up with the walk at a rate a person can follow, and always before a box
    // and at the end: each row it takes lays it out again, which costs far more than a record.
    // Pending messages are handled at the first record 10 ms after they last were: input stays
    // live and a close request is seen within a record or two, but handling them after each of
    // a thousand records a second would cost a tenth of the run.
    // (A rate of 0 is every record: two records within one millisecond would not have expired.)
    if (refrescoMs_ == 0 || !refresco_.isValid() || refresco_.hasExpired(esperaRefresco_)) {
        QElapsedTimer coste;
        coste.start();
        MostrarRejilla();
        QCoreApplication::processEvents();
        DBGrid1->setUpdatesEnabled(false);
        // A catch-up that took long (a slow display, a busy machine) puts the next one further
        // off: the grid takes at most about a twentieth of the run.
        if (refrescoMs_ > 0) esperaRefresco_ = std::max<qint64>(refrescoMs_, 20 * coste.elapsed());
        refresco_.start();
        mensajes_.start();
    } else if (!mensajes_.isValid() || mensajes_.hasExpired(kMensajesMs)) {
        QCoreApplication::processEvents();
        mensajes_.start();
    }
}

void TForm1::Tabla(const InfoTabla& t) {
    const NombreDeTabla n = NombreParaElOperador(t);
    if (n.recorrida) {
        const QString nota = n.nombre + QStringLiteral(": página de códigos %1").arg(t.pagina);
        TextoNotas->setText(
            TextoNotas->fontMetrics().elidedText(nota, Qt::ElideRight, TextoNotas->maximumWidth()));
    }
    QString linea = n.nombre + " (" + QString::fromStdString(t.fichero) +
                    "): " + QString::fromStdString(t.razon);
    if (!t.discrepancia.empty()) linea += ". " + QString::fromStdString(t.discrepancia);
    const QString tip = TextoNotas->toolTip();
    TextoNotas->setToolTip(tip.isEmpty() ? linea : tip + "\n" + linea);
}

void TForm1::MostrarRejilla() {
    modelo_->Actualizar();
    DBGrid1->setUpdatesEnabled(true);
    if (int n = modelo_->rowCount(); n > 0) DBGrid1->scrollTo(modelo_->index(n - 1, 0));
}

// ---- handlers ----

void TForm1::PonerFuente(QApplication& app) {
    // fontconfig does not look where fonts-wine puts its Tahoma-compatible face.
    const char* tahoma = "/usr/share/wine/fonts/tahoma.ttf";
    QString familia = QStringLiteral("DejaVu Sans");
    if (QFile f(tahoma); f.open(QIODevice::ReadOnly)) {
        int id = QFontDatabase::addApplicationFontFromData(ConLineasQueNoSeTocan(f.readAll()));
        if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty())
            familia = QFontDatabase::applicationFontFamilies(id).first();
    }
    QFont f(familia);
    f.setPixelSize(12); // 9 points at the 96 dots per inch the window was laid out for
    app.setFont(f);
}

bool TForm1::PonerIdioma(QApplication& app) {
    // Dates and numbers in Qt's dialogs as in Spain, unless the desktop is in another Spanish.
    if (QLocale().language() != QLocale::Spanish)
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Spain));
    auto* qt = new QTranslator(&app);
    if (!qt->load(QStringLiteral("qtbase_es"),
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    return app.installTranslator(qt);
}

void TForm1::MostrarError(QWidget* padre, const QString& mensaje) {
    QString texto = mensaje;
    // As the application's own error box does: a full stop after a last character that sorts
    // after it (a letter or a digit, for example).
    if (!texto.isEmpty() && texto.back() > QChar('.')) texto += '.';
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kTituloAplicacion), texto,
                    QMessageBox::Ok, padre);
    box.exec();
}

bool TForm1::Proteger(const std::function<void()>& manejador) {
    try {
        manejador();
        return true;
    } catch (const std::exception& e) {
        ultimoError_ = QString::fromUtf8(e.what());
    } catch (...) {
        ultimoError_ = QStringLiteral("Error desconocido");
    }
    MostrarError(this, ultimoError_);
    return false;
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (mostrado_) return;
    mostrado_ = true;
    FormShow();
}

void TForm1::FormShow() {
    Proteger([this] { datos_.CrearAlias(DirectoryEditDatosFacturaPlus->text().toStdString()); });
}

bool TForm1::DirectoryEditDatosFacturaPlusAfterDialog(const QString& ruta) {
    return Proteger([&] { datos_.CrearAlias(ruta.toStdString()); });
}

bool TForm1::FilenameEditRutaGDBAfterDialog(const QString& ruta) {
    return Proteger([&] { datos_.SetRutaDestino(ruta.toStdString()); });
}

void TForm1::EjecutarBoton(const std::function<void()>& trabajo) {
    if (datos_.Ejecutando()) return;
    TDatos::EnMarcha marcha(datos_);
    const QList<QWidget*> controles = {
        Button1, Button2, Button3, Button4, DirectoryEditDatosFacturaPlus, FilenameEditRutaGDB};
    // The focus goes back where it was: disabling the button pressed sends it to the grid.
    QPointer<QWidget> foco = QApplication::focusWidget();
    TextoNotas->clear();
    TextoNotas->setToolTip(QString());
    TextoEstado->setToolTip(QString());
    for (QWidget* w : controles)
        w->setEnabled(false);
    if (!Proteger(trabajo)) {
        // The last progress text would still say the table is being updated.
        TextoEstado->setToolTip(TextoEstado->text() + ": " + ultimoError_);
        TextoEstado->setText(QStringLiteral("Traspaso detenido por un error"));
    }
    MostrarRejilla();
    refresco_.invalidate();
    esperaRefresco_ = refrescoMs_;
    mensajes_.invalidate();
    for (QWidget* w : controles)
        w->setEnabled(true);
    if (foco && foco->window() == this) foco->setFocus(Qt::OtherFocusReason);
    modelo_->Actualizar();
    if (cierrePendiente_) QTimer::singleShot(0, this, &QWidget::close);
}

// Each button: the target path from the editor, then each of its transfers with the grid on the
// query it walks. A transfer stopped by a close request ends the press.
void TForm1::Traspasar(const std::string& nombre) {
    EjecutarBoton([&] {
        datos_.SetRutaDestino(FilenameEditRutaGDB->text().toStdString());
        for (const PasoDeTraspaso& p : TraspasoDeNombre(nombre).pasos) {
            datos_.DataSource1.SetDataSet(p.consulta(datos_));
            if (!p.ejecutar(datos_)) return;
        }
    });
}

void TForm1::suitempButton2Click() {
    Traspasar("articulos");
}
void TForm1::suitempButton1Click() {
    Traspasar("clientes");
}
void TForm1::suitempButton3Click() {
    Traspasar("proveedores");
}
void TForm1::suitempButton4Click() {
    Traspasar("agentes");
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (datos_.Ejecutando()) {
        // The transfer stops after its current record is committed; then the window closes.
        cierrePendiente_ = true;
        datos_.SolicitarParada();
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

void TForm1::FormClose() {
    Proteger([this] { datos_.Cerrar(); });
}
