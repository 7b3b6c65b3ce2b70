#include "Editores.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMimeData>

namespace {

// The keys that open an editor's dialog from its text box, as in a drop-down.
bool AbreElDialogo(const QKeyEvent& k) {
    const Qt::KeyboardModifiers mods = k.modifiers() & ~Qt::KeypadModifier;
    switch (k.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_F4:
        return mods == Qt::NoModifier;
    case Qt::Key_Down:
        return mods == Qt::AltModifier;
    default:
        return false;
    }
}

} // namespace

EditorRuta::EditorRuta(QWidget* parent)
    : QWidget(parent), linea_(new QLineEdit(this)), boton_(new QToolButton(this)) {
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(linea_);
    l->addWidget(boton_);
    linea_->setReadOnly(true);
    linea_->setContextMenuPolicy(Qt::NoContextMenu);
    linea_->installEventFilter(this);
    boton_->setText(QStringLiteral("…"));
    boton_->setFocusPolicy(Qt::StrongFocus);
    boton_->installEventFilter(this);
    connect(boton_, &QToolButton::clicked, this, &EditorRuta::AbrirDialogo);
}

void EditorRuta::Nombrar(const QString& nombre, const QString& eleccion) {
    setAccessibleName(nombre);
    linea_->setAccessibleName(nombre);
    linea_->setToolTip(nombre + QStringLiteral(" (Intro, Espacio o Alt+Abajo para elegirla)"));
    boton_->setAccessibleName(eleccion);
    boton_->setToolTip(eleccion);
}

QString EditorRuta::CarpetaDeInicio(const QString& carpeta) {
    return !carpeta.isEmpty() && QFileInfo(carpeta).isDir() ? carpeta : QDir::homePath();
}

bool EditorRuta::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyPress && isEnabled()) {
        const auto& k = *static_cast<QKeyEvent*>(e);
        const bool intro = (k.key() == Qt::Key_Return || k.key() == Qt::Key_Enter) &&
                           (k.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if ((o == linea_ && AbreElDialogo(k)) || (o == boton_ && intro)) {
            AbrirDialogo();
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void EditorRuta::AbrirDialogo() {
    QString actual = linea_->text();
    QString ruta = Dialogo ? Dialogo(actual) : actual;
    if (AfterDialog && !AfterDialog(ruta)) return;
    linea_->setText(ruta);
}

DirectoryEdit::DirectoryEdit(QWidget* parent) : EditorRuta(parent) {
    Dialogo = [this](const QString& actual) {
        QString elegida = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Seleccione la carpeta con los datos de FacturaPlus"),
            CarpetaDeInicio(actual));
        return elegida.isEmpty() ? actual : QDir::toNativeSeparators(elegida);
    };
}

FilenameEdit::FilenameEdit(QWidget* parent) : EditorRuta(parent) {
    linea_->setAcceptDrops(true);
    Dialogo = [this](const QString& actual) {
        QFileDialog d(this, QStringLiteral("Seleccione la Base de datos de Orvalia SQL"));
        d.setNameFilter(QStringLiteral("Interbase/FireBird (*.gdb , *.fdb)"));
        d.setFileMode(QFileDialog::ExistingFile);
        d.setAcceptMode(QFileDialog::AcceptOpen);
        QFileInfo info(actual);
        const QString carpeta = CarpetaDeInicio(actual.isEmpty() ? QString() : info.absolutePath());
        d.setDirectory(carpeta);
        if (carpeta == info.absolutePath()) d.selectFile(info.fileName());
        if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return actual;
        return QDir::toNativeSeparators(d.selectedFiles().first());
    };
}

bool FilenameEdit::eventFilter(QObject* o, QEvent* e) {
    if (o == linea_ && (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove)) {
        auto* d = static_cast<QDropEvent*>(e);
        if (d->mimeData()->hasUrls() && d->mimeData()->urls().first().isLocalFile()) {
            d->acceptProposedAction();
            return true;
        }
    }
    if (o == linea_ && e->type() == QEvent::Drop) {
        auto* d = static_cast<QDropEvent*>(e);
        if (d->mimeData()->hasUrls() && d->mimeData()->urls().first().isLocalFile()) {
            linea_->setText(QDir::toNativeSeparators(d->mimeData()->urls().first().toLocalFile()));
            d->acceptProposedAction();
        }
        return true;
    }
    return EditorRuta::eventFilter(o, e);
}
