#pragma once
// The program's one window.
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

#include <functional>
#include <vector>

class TDatos;
class SourceQuery;
class DirectoryEdit;
class FilenameEdit;
class ModeloConsulta;
class QApplication;
class QFrame;
struct InfoTabla;

// The application's title, which also captions its error box.
inline constexpr const char* kTituloAplicacion =
    "Traspaso de Maestros de FacturaPlus a Orvalia SQL";

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(TDatos& datos);
    ~TForm1() override;

    // What the data module reports through; the window's part of the interface.
    void MostrarEstado(const std::string& texto, bool caja);
    void Aviso(const std::string& texto);
    void AtenderMensajes();
    // The table a run walks, at the right of the status bar: which one, in words, and the code
    // page it is read in; its tip holds every table of the current press, with the reason.
    void Tabla(const InfoTabla& tabla);

    QFrame* Panel1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QLabel* LabelRutaFacturaPlus;
    QLabel* Label1;
    DirectoryEdit* DirectoryEditDatosFacturaPlus;
    FilenameEdit* FilenameEditRutaGDB;
    QTableView* DBGrid1;
    QStatusBar* StatusBar1;
    QLabel* TextoEstado; // the status bar's one text
    QLabel* TextoNotas;  // the code page of the table walked, at its right

    // Below this the labels and editors would draw over the buttons, and the grid would have
    // no room for a row.
    static constexpr int kAnchoMinimo = 328 + 16 + (926 - 399);
    static constexpr int kAltoMinimo = 68 + 19 + 96;

    // How often the grid catches up with a running walk: five times a second, which a person
    // can follow; each catch-up paints a screenful of new rows, which costs as much as a few
    // hundred records (0 for every record).
    static constexpr int kRefrescoMs = 200;
    void SetRefrescoMs(int ms) { refrescoMs_ = esperaRefresco_ = ms; }

    // The application's face: Tahoma where fonts-wine put it, else DejaVu Sans; 9 points.
    static void PonerFuente(QApplication& app);
    // Qt's own dialogs and standard buttons in Spanish, whatever the locale. False when the
    // translation is not installed.
    static bool PonerIdioma(QApplication& app);

    // Shows an error that escaped a handler, as the application's error box does.
    static void MostrarError(QWidget* padre, const QString& mensaje);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void PonerTeclado();
    void FormShow();
    void FormClose();
    bool DirectoryEditDatosFacturaPlusAfterDialog(const QString& ruta);
    bool FilenameEditRutaGDBAfterDialog(const QString& ruta);
    void suitempButton2Click();
    void suitempButton1Click();
    void suitempButton3Click();
    void suitempButton4Click();

    // Runs a handler; an error that escapes it goes to the error box. False when one did.
    bool Proteger(const std::function<void()>& manejador);
    // Runs a transfer button's work with the controls disabled; a close asked for meanwhile
    // is carried out when it ends.
    void EjecutarBoton(const std::function<void()>& trabajo);
    void ColocarPanel();
    // The transfer of that name, each of its steps with the grid on the query it walks; a step
    // stopped by a close request ends the press.
    void Traspasar(const std::string& nombre);
    // Lets the grid paint again and brings its last row into view.
    void MostrarRejilla();

    TDatos& datos_;
    ModeloConsulta* modelo_;
    bool mostrado_ = false;
    QElapsedTimer refresco_; // since the grid last caught up during a run
    QElapsedTimer mensajes_; // since pending messages were last handled during a run
    static constexpr int kMensajesMs = 10;
    int refrescoMs_ = kRefrescoMs;
    qint64 esperaRefresco_ = kRefrescoMs; // until the next catch-up: longer after a slow one
    bool cierrePendiente_ = false;
    QString ultimoError_; // the message of the last error a handler let escape
};
