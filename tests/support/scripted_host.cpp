#include "support/scripted_host.h"

#include "core/runtime_error.h"

#include <QAction>
#include <QMenu>
#include <QPrinter>

namespace zelvia::rt {

std::vector<ScriptedHost::Call> ScriptedHost::callsOf(const QString& kind) const {
    std::vector<Call> out;
    for (const Call& c : calls) {
        if (c.kind == kind) {
            out.push_back(c);
        }
    }
    return out;
}

void ScriptedHost::record(Call call) {
    calls.push_back(std::move(call));
    if (onCall) {
        onCall(calls.back());
    }
}

void ScriptedHost::messageBox(const QString& text, int style, const QString& title) {
    record({QStringLiteral("msgbox"), {text, title}, style});
}

bool ScriptedHost::printerDialog(QPrinter& printer) {
    PrinterAnswer answer = PrinterAnswer::Accept;
    if (!printerAnswers.empty()) {
        answer = printerAnswers.front();
        printerAnswers.pop_front();
    }
    if (answer == PrinterAnswer::Accept) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printerOutputFile);
    }
    // The printable area on the paper, in points, for tests that measure the page.
    const QRectF area = printer.pageRect(QPrinter::Point);
    record({QStringLiteral("printer"),
            {printerOutputFile, QStringLiteral("%1,%2,%3,%4")
                                    .arg(area.x())
                                    .arg(area.y())
                                    .arg(area.width())
                                    .arg(area.height())},
            static_cast<int>(answer)});
    switch (answer) {
    case PrinterAnswer::Cancel:
        return false;
    case PrinterAnswer::Fail:
        throw RuntimeError(err::PathAccess, "scripted printer failure");
    case PrinterAnswer::Accept:
        break;
    }
    return true;
}

bool ScriptedHost::confirmDelete(const QString& path) {
    bool answer = true;
    if (!deleteAnswers.empty()) {
        answer = deleteAnswers.front();
        deleteAnswers.pop_front();
    }
    record({QStringLiteral("confirmDelete"), {path}, answer ? 1 : 0});
    return answer;
}

void ScriptedHost::deleteFailed(const QString& path, const QString& reason) {
    record({QStringLiteral("deleteFailed"), {path, reason}, 0});
}

void ScriptedHost::showHelp(const QString& helpFile, int command, std::uint32_t data) {
    record({QStringLiteral("help"), {helpFile, QString::number(data)}, command});
}

QAction* ScriptedHost::popupMenu(QMenu& menu, const QPoint& globalPos) {
    QStringList captions;
    for (QAction* a : menu.actions()) {
        captions << a->text();
    }
    captions << QStringLiteral("@%1,%2").arg(globalPos.x()).arg(globalPos.y());
    record({QStringLiteral("popup"), captions, 0});
    if (popupChoices.empty()) {
        return nullptr;
    }
    const QString choice = popupChoices.front();
    popupChoices.pop_front();
    for (QAction* a : menu.actions()) {
        if (!choice.isEmpty() && QString(a->text()).remove(QLatin1Char('&')) == choice) {
            return a;
        }
    }
    return nullptr;
}

void ScriptedHost::endProgram(int exitCode) {
    record({QStringLiteral("end"), {}, exitCode});
}

} // namespace zelvia::rt
