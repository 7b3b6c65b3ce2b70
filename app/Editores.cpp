#include "Editores.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeData>

EditorRuta::EditorRuta(QWidget* parent)
    : QWidget(parent), linea_(new QLineEdit(this)), boton_(new QToolButton(this)) {
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(linea_);
    l->addWidget(boton_);
    linea_->setReadOnly(true);
    linea_->setContextMenuPolicy(Qt::NoContextMenu);
    boton_->setText(QStringLiteral("…"));
    boton_->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(linea_);
    connect(boton_, &QToolButton::clicked, this, &EditorRuta::AbrirDialogo);
}

void EditorRuta::AbrirDialogo() {
    QString actual = linea_->text();
    QString ruta = Dialogo ? Dialogo(actual) : actual;
    if (AfterDialog && !AfterDialog(ruta)) return;
    linea_->setText(ruta);
}

DirectoryEdit::DirectoryEdit(QWidget* parent) : EditorRuta(parent) {
    Dialogo = [this](const QString& actual) {
        QString inicio = QFileInfo(actual).isDir() ? actual : QString();
        QString elegida = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Seleccione la carpeta con los datos de FacturaPlus"), inicio);
        return elegida.isEmpty() ? actual : QDir::toNativeSeparators(elegida);
    };
}

FilenameEdit::FilenameEdit(QWidget* parent) : EditorRuta(parent) {
    linea_->setAcceptDrops(true);
    linea_->installEventFilter(this);
    Dialogo = [this](const QString& actual) {
        QFileDialog d(this, QStringLiteral("Seleccione la Base de datos de Orvalia SQL"));
        d.setNameFilter(QStringLiteral("Interbase/FireBird (*.gdb , *.fdb)"));
        d.setFileMode(QFileDialog::ExistingFile);
        d.setAcceptMode(QFileDialog::AcceptOpen);
        QFileInfo info(actual);
        d.setDirectory(info.absolutePath());
        d.selectFile(info.fileName());
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
    return QWidget::eventFilter(o, e);
}
