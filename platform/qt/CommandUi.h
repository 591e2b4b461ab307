#pragma once
// Ties the command table to the window system: menu actions and keyboard
// shortcuts send their command ids through the table, and their enabled and
// checked states are asked of the table when the application is idle (a
// zero-delay timer started after input settles, and before a menu opens).
#include "platform/CommandTable.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QShortcut;
class QWidget;

class CommandUi : public QObject {
    Q_OBJECT
public:
    // table must outlive this object. beforeCommand runs before any command
    // (the frame refreshes the view's registrations there).
    explicit CommandUi(CommandTable& table, QObject* parent = nullptr);
    ~CommandUi() override;

    // The action sends id when triggered; its state follows the table.
    void BindAction(QAction* action, uint32_t id, CommandUiKind kind = CommandUiKind::MenuItem);
    // A shortcut on window that sends id (ignored while the command is disabled).
    QShortcut* AddShortcut(QWidget* window, const QKeySequence& keys, uint32_t id);
    // Updates the bound actions when that menu is about to open.
    void WatchMenu(QMenu* menu);

    // Runs a command through the table, then schedules a state update.
    bool Execute(uint32_t id, CommandUiKind kind = CommandUiKind::MenuItem);
    // Asks the table for every bound action's state now.
    void UpdateNow();
    // Starts the zero-delay idle update unless one is pending.
    void ScheduleUpdate();
    int UpdateCount() const { return updates_; }
    // The table the bound controls ask and send through.
    CommandTable& Table() { return table_; }

    std::function<void()> beforeQuery;

signals:
    // After every idle update: owner-drawn toolbars refresh their states here.
    void Updated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding {
        QAction* action;
        uint32_t id;
        CommandUiKind kind;
    };
    CommandTable& table_;
    std::vector<Binding> bindings_;
    QTimer idle_;
    int updates_ = 0;
};
