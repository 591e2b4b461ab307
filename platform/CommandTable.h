#pragma once
// The command table: every menu item, accelerator, toolbar and tool-strip
// button names a command id; the frame, the active view, the document and the
// application register a handler (what the command does) and an update rule
// (whether it is enabled and checked) for the ids they answer. Lookups follow
// that routing order, so the first target that registered an id wins.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>

enum class CommandTarget : int { Frame = 0, ActiveView = 1, Document = 2, Application = 3 };

// What asks for a command's state: a menu item (also accelerators) is disabled
// when no target handles the id; a toolbar or tool-strip button without an
// update rule stays enabled.
enum class CommandUiKind { MenuItem, ToolbarButton };

// Handed to an update rule, which enables or disables the command and, for
// tools and toggles, sets its check. A rule that never calls SetCheck leaves
// the item's check as it was.
class CommandUpdate {
public:
    void Enable(bool on = true) { enabled_ = on; }
    void SetCheck(bool on = true) { checked_ = on; }
    bool Enabled() const { return enabled_; }
    const std::optional<bool>& Checked() const { return checked_; }

private:
    bool enabled_ = true;
    std::optional<bool> checked_;
};

struct CommandState {
    bool enabled = false;
    std::optional<bool> checked;  // nullopt: keep the current check
};

class CommandTable {
public:
    using Handler = std::function<void()>;
    using UpdateRule = std::function<void(CommandUpdate&)>;

    // Register (or replace) one target's handler or rule for an id. An empty
    // function removes that registration.
    void SetHandler(CommandTarget target, uint32_t id, Handler handler);
    void SetUpdateRule(CommandTarget target, uint32_t id, UpdateRule rule);
    void Add(CommandTarget target, uint32_t id, Handler handler, UpdateRule rule = {}) {
        SetHandler(target, id, std::move(handler));
        SetUpdateRule(target, id, std::move(rule));
    }
    // Forget everything a target registered (a view being replaced, a closing document).
    void ClearTarget(CommandTarget target);

    bool HasHandler(uint32_t id) const { return FindHandler(id) != nullptr; }
    bool HasUpdateRule(uint32_t id) const { return FindRule(id) != nullptr; }

    // The state to show: the first update rule in routing order decides; with
    // none, a menu item is enabled only when some target handles the id, and a
    // button is enabled.
    CommandState QueryState(uint32_t id, CommandUiKind kind = CommandUiKind::MenuItem) const;

    // Runs the first handler in routing order unless the command is disabled.
    // True when a handler ran. A handler may change the table while it runs.
    bool Execute(uint32_t id, CommandUiKind kind = CommandUiKind::MenuItem);

private:
    static constexpr size_t kTargets = 4;
    const Handler* FindHandler(uint32_t id) const;
    const UpdateRule* FindRule(uint32_t id) const;

    std::array<std::map<uint32_t, Handler>, kTargets> handlers_;
    std::array<std::map<uint32_t, UpdateRule>, kTargets> rules_;
};
