#include "platform/CommandTable.h"

#include <utility>

void CommandTable::SetHandler(CommandTarget target, uint32_t id, Handler handler) {
    auto& map = handlers_[size_t(target)];
    if (handler)
        map[id] = std::move(handler);
    else
        map.erase(id);
}

void CommandTable::SetUpdateRule(CommandTarget target, uint32_t id, UpdateRule rule) {
    auto& map = rules_[size_t(target)];
    if (rule)
        map[id] = std::move(rule);
    else
        map.erase(id);
}

void CommandTable::ClearTarget(CommandTarget target) {
    handlers_[size_t(target)].clear();
    rules_[size_t(target)].clear();
}

const CommandTable::Handler* CommandTable::FindHandler(uint32_t id) const {
    for (const auto& map : handlers_) {
        auto it = map.find(id);
        if (it != map.end()) return &it->second;
    }
    return nullptr;
}

const CommandTable::UpdateRule* CommandTable::FindRule(uint32_t id) const {
    for (const auto& map : rules_) {
        auto it = map.find(id);
        if (it != map.end()) return &it->second;
    }
    return nullptr;
}

CommandState CommandTable::QueryState(uint32_t id, CommandUiKind kind) const {
    CommandState state;
    if (const UpdateRule* rule = FindRule(id)) {
        CommandUpdate update;
        (*rule)(update);
        state.enabled = update.Enabled();
        state.checked = update.Checked();
        return state;
    }
    state.enabled = kind == CommandUiKind::ToolbarButton || FindHandler(id) != nullptr;
    return state;
}

bool CommandTable::Execute(uint32_t id, CommandUiKind kind) {
    const Handler* handler = FindHandler(id);
    if (!handler || !QueryState(id, kind).enabled) return false;
    // Copy first: the handler may replace or remove its own registration.
    Handler run = *handler;
    run();
    return true;
}
