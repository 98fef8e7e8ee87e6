#include "platform/qt_host.h"

#include "core/basic_types.h"
#include "core/native_path.h"
#include "platform/help/help_viewer.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace zelvia::rt {

void QtHost::messageBox(const QString& text, int style, const QString& title) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(style == style::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    shown, QMessageBox::Ok, owner_);
    box.exec();
}

bool QtHost::printerDialog(QPrinter& printer) {
    // Without any CUPS printer the dialog still offers printing to a PDF file.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
    }
    QPrintDialog dialog(&printer, owner_);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    // Qt names the proposed PDF file only on X11 and elsewhere leaves just the folder, which the
    // dialog then refuses ("... is a directory"): propose the same file everywhere.
    if (auto* file = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
        file != nullptr && file->text().endsWith(u'/')) {
        file->setText(file->text() + QStringLiteral("print.pdf"));
    }
    return dialog.exec() == QDialog::Accepted;
}

bool QtHost::confirmDelete(const QString& path) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("ファイルの削除"),
                    QStringLiteral("'%1' をごみ箱に移動しますか?").arg(displayFileName(path)),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtHost::deleteFailed(const QString& path, const QString& reason) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("ファイルの削除エラー"),
                    QStringLiteral("'%1' を削除できません: %2").arg(displayFileName(path), reason),
                    QMessageBox::Ok, owner_);
    box.exec();
}

void QtHost::showHelp(const QString& helpFile, int command, std::uint32_t data) {
    rt::showHelp(owner_, helpFile, command, data);
}

namespace {

// Popup items are chosen with the left button only; a release of any other button over an item
// leaves the popup open, as Qt would otherwise trigger the item.
class LeftButtonOnly final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

QAction* QtHost::popupMenu(QMenu& menu, const QPoint& globalPos) {
    LeftButtonOnly filter;
    menu.installEventFilter(&filter);
    QAction* chosen = menu.exec(globalPos);
    menu.removeEventFilter(&filter);
    return chosen;
}

void QtHost::endProgram(int exitCode) {
    QApplication::closeAllWindows();
    QApplication::exit(exitCode);
}

} // namespace zelvia::rt
