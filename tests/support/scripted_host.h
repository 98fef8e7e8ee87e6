#pragma once

#include "platform/host.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

namespace zelvia::rt {

// A host for tests: records every call in order and answers from a script, so no test blocks.
class ScriptedHost final : public Host {
public:
    struct Call {
        QString
            kind; // "msgbox", "printer", "confirmDelete", "deleteFailed", "help", "popup", "end"
        QStringList args;
        int number = 0; // style, help command or exit code
    };

    enum class PrinterAnswer { Cancel, Accept, Fail };

    // Script.
    std::deque<bool> deleteAnswers;           // default: yes
    std::deque<PrinterAnswer> printerAnswers; // default: accept
    QString printerOutputFile;                // PDF file the accepted dialog prints to
    std::deque<QString> popupChoices;         // caption to choose (without '&'); "" dismisses
    std::function<void(const Call&)> onCall;  // called after recording each call

    // Record.
    // "printer" calls carry the output file and the printable area on the paper in points
    // ("x,y,width,height"); the number is the PrinterAnswer.
    std::vector<Call> calls;
    [[nodiscard]] std::vector<Call> callsOf(const QString& kind) const;
    [[nodiscard]] int popupsOpened() const {
        return static_cast<int>(callsOf(QStringLiteral("popup")).size());
    }
    void clear() { calls.clear(); }

    void setMainWindow(QWidget* window) override { mainWindow = window; }
    void messageBox(const QString& text, int style, const QString& title) override;
    bool printerDialog(QPrinter& printer) override;
    bool confirmDelete(const QString& path) override;
    void deleteFailed(const QString& path, const QString& reason) override;
    void showHelp(const QString& helpFile, int command, std::uint32_t data) override;
    QAction* popupMenu(QMenu& menu, const QPoint& globalPos) override;
    void endProgram(int exitCode) override;

    QWidget* mainWindow = nullptr;

private:
    void record(Call call);
};

} // namespace zelvia::rt
