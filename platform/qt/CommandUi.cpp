#include "platform/qt/CommandUi.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QShortcut>

#include <algorithm>

CommandUi::CommandUi(CommandTable& table, QObject* parent) : QObject(parent), table_(table) {
    idle_.setSingleShot(true);
    idle_.setInterval(0);
    connect(&idle_, &QTimer::timeout, this, &CommandUi::UpdateNow);
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

CommandUi::~CommandUi() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

void CommandUi::BindAction(QAction* action, uint32_t id, CommandUiKind kind) {
    bindings_.push_back({action, id, kind});
    connect(action, &QAction::triggered, this, [this, id, kind] { Execute(id, kind); });
    connect(action, &QObject::destroyed, this, [this, action] {
        bindings_.erase(std::remove_if(bindings_.begin(), bindings_.end(),
                                       [action](const Binding& b) { return b.action == action; }),
                        bindings_.end());
    });
    ScheduleUpdate();
}

QShortcut* CommandUi::AddShortcut(QWidget* window, const QKeySequence& keys, uint32_t id) {
    auto* sc = new QShortcut(keys, window);
    sc->setContext(Qt::WindowShortcut);
    connect(sc, &QShortcut::activated, this, [this, id] { Execute(id); });
    return sc;
}

void CommandUi::WatchMenu(QMenu* menu) { connect(menu, &QMenu::aboutToShow, this, &CommandUi::UpdateNow); }

bool CommandUi::Execute(uint32_t id, CommandUiKind kind) {
    if (beforeQuery) beforeQuery();
    bool ran = table_.Execute(id, kind);
    ScheduleUpdate();
    return ran;
}

void CommandUi::UpdateNow() {
    ++updates_;
    if (beforeQuery) beforeQuery();
    for (const Binding& b : bindings_) {
        CommandState s = table_.QueryState(b.id, b.kind);
        if (b.action->isEnabled() != s.enabled) b.action->setEnabled(s.enabled);
        if (s.checked) {
            if (!b.action->isCheckable()) b.action->setCheckable(true);
            if (b.action->isChecked() != *s.checked) b.action->setChecked(*s.checked);
        }
    }
    emit Updated();
}

void CommandUi::ScheduleUpdate() {
    if (!idle_.isActive()) idle_.start();
}

bool CommandUi::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::WindowActivate:
    case QEvent::Drop: ScheduleUpdate(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
