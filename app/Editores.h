#pragma once
// The two path editors: a text box that takes no typing, pasting or cutting, with a button that
// opens a dialog. The handler runs before the editor takes the path the dialog hands back; when
// it fails, the editor keeps its old path.
//
// From the keyboard: Tab reaches the text box and then its «…» button; in the text box, Return,
// Space, Alt+Down or F4 open the dialog, and on the button Space or Return do.
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

#include <functional>

class EditorRuta : public QWidget {
    Q_OBJECT
public:
    explicit EditorRuta(QWidget* parent);
    QString text() const { return linea_->text(); }
    void setText(const QString& t) { linea_->setText(t); }
    QLineEdit* Linea() const { return linea_; }
    QToolButton* Boton() const { return boton_; }

    // Opens the dialog; returns the path handed back (the editor's own path after a cancel).
    std::function<QString(const QString& actual)> Dialogo;
    // Runs with the path the dialog handed back; returns false when it failed.
    std::function<bool(const QString& ruta)> AfterDialog;

    void AbrirDialogo();
    // Names the text box and its button for a screen reader: «nombre» and «Elegir …».
    void Nombrar(const QString& nombre, const QString& eleccion);

    // Where a dialog starts when the editor's path is not there: the user's own folder, not
    // whatever folder the program was started from.
    static QString CarpetaDeInicio(const QString& carpeta);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

    QLineEdit* linea_;
    QToolButton* boton_;
};

class DirectoryEdit : public EditorRuta {
    Q_OBJECT
public:
    explicit DirectoryEdit(QWidget* parent);
};

// Also takes a file dropped onto it: its path becomes the text, and nothing else happens.
class FilenameEdit : public EditorRuta {
    Q_OBJECT
public:
    explicit FilenameEdit(QWidget* parent);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
};
