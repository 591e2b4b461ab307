#include "platform/ToolbarButtons.h"

#include "platform/MulDiv.h"

#include <algorithm>

namespace {
std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}
std::string WithoutCr(std::string s) {
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    return s;
}
}  // namespace

CToolbarButtonDesc CToolbarButtonDesc::Command(int id, const std::string& icon, const std::string& text,
                                               const std::string& tooltip) {
    CToolbarButtonDesc d;
    d.face.commandId = id;
    d.face.imageName = icon;
    d.face.text = text;
    d.face.tooltip = tooltip;
    return d;
}

CToolbarButtonDesc CToolbarButtonDesc::MakeSeparator(int width) {
    CToolbarButtonDesc d;
    d.kind = Separator;
    d.separatorWidth = width;
    return d;
}

CToolbarButtonDesc CToolbarButtonDesc::MakeLabel(const std::string& text, int minimumWidth) {
    CToolbarButtonDesc d;
    d.kind = Label;
    d.labelText = text;
    d.labelMinimumWidth = minimumWidth;
    return d;
}

ToolbarButtonEntry MakeToolbarEntry(const CToolbarButtonDesc& d, const std::function<std::string(int)>& commandString) {
    ToolbarButtonEntry e;
    e.desc = d;
    if (d.kind == CToolbarButtonDesc::Button) {
        e.enabled = d.face.enabled;
        e.checked = d.face.checked;
    } else if (d.kind == CToolbarButtonDesc::Group) {
        e.enabled = d.group.enabled;
        e.expanded = d.initiallyExpanded;
    }
    if (!e.IsButton()) return e;
    const bool group = d.kind == CToolbarButtonDesc::Group;
    const int id = e.CommandId();
    std::string title = group ? d.group.text : d.face.text;
    std::string text = group ? d.group.tooltip : d.face.tooltip;
    const std::string fallback = group ? std::string() : d.face.caption;
    if ((title.empty() || text.empty()) && id != 0 && commandString) {
        const std::string s = commandString(id);
        if (!s.empty()) {
            const size_t n = s.find('\n');
            const std::string prompt = n == std::string::npos ? s : s.substr(0, n);
            const std::string tip = n == std::string::npos ? s : s.substr(n + 1);
            if (title.empty()) title = tip;
            if (text.empty()) text = prompt;
        }
    }
    if (title.empty()) title = fallback;
    title = WithoutCr(title);
    std::replace(title.begin(), title.end(), '\n', ' ');
    e.tipTitle = Trim(title);
    e.tipText = Trim(WithoutCr(text));
    return e;
}

std::vector<bool> ToolbarShownEntries(const std::vector<ToolbarButtonEntry>& entries) {
    std::vector<bool> hidden(entries.size(), false);
    for (size_t i = 0; i < entries.size(); ++i) {
        const ToolbarButtonEntry& e = entries[i];
        if (e.desc.kind != CToolbarButtonDesc::Group || e.expanded) continue;
        const auto& ids = e.desc.group.hiddenCommandIds;
        if (ids.empty()) {
            const size_t n = std::min(size_t(std::max(0, e.desc.group.groupCount)), entries.size() - i - 1);
            for (size_t k = 1; k <= n; ++k) hidden[i + k] = true;
        } else {
            for (size_t k = 0; k < entries.size(); ++k)
                if (entries[k].desc.kind == CToolbarButtonDesc::Button && entries[k].desc.face.commandId != 0 &&
                    std::find(ids.begin(), ids.end(), entries[k].desc.face.commandId) != ids.end())
                    hidden[k] = true;
        }
    }
    std::vector<bool> shown(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const CToolbarButtonDesc& d = entries[i].desc;
        bool own = d.kind == CToolbarButtonDesc::Separator ? true
                   : d.kind == CToolbarButtonDesc::Label   ? d.labelVisible
                   : d.kind == CToolbarButtonDesc::Group   ? d.group.visible
                                                           : d.face.visible;
        shown[i] = own && !hidden[i];
    }
    return shown;
}

void LayoutToolbar(std::vector<ToolbarButtonEntry>& entries, int W, int H, int dpi,
                   const std::function<int(const ToolbarButtonEntry&, int)>& iconWidth,
                   const std::function<int(const std::string&)>& textWidth) {
    auto s = [dpi](int v) { return MulDiv(v, dpi, 96); };
    const int h = std::max(s(16), std::max(s(16), H - s(2)) - 2 * s(4));
    const int top = (H - h) / 2;
    int x = s(8);
    const int limit = W - s(8);
    const std::vector<bool> shown = ToolbarShownEntries(entries);
    for (size_t i = 0; i < entries.size(); ++i) {
        ToolbarButtonEntry& e = entries[i];
        e.rect = {};
        if (!shown[i]) continue;
        const CToolbarButtonDesc& d = e.desc;
        int w = 0;
        if (d.kind == CToolbarButtonDesc::Separator) {
            w = s(d.separatorWidth);
            e.rect = {x, top, x, top + h};
            if (w >= 1) x += w;
            e.rect.right = x;
            continue;
        }
        if (d.kind == CToolbarButtonDesc::Label) {
            w = std::max(s(d.labelMinimumWidth), 2 * s(6));
            if (!d.labelText.empty() && textWidth) w = std::max(w, 2 * s(6) + textWidth(d.labelText));
        } else {
            w = s(28);
            const int iw = iconWidth ? iconWidth(e, std::max(12, h - s(6))) : 0;
            if (iw > 0) w = std::max(w, iw + 2 * s(8));
            const int mode = d.kind == CToolbarButtonDesc::Group ? d.group.displayMode : d.face.displayMode;
            const int minW = d.kind == CToolbarButtonDesc::Group ? d.group.minimumWidth : d.face.minimumWidth;
            if (mode == 1 && minW > 0) w = std::max(w, s(minW));
            if (d.kind == CToolbarButtonDesc::Button && mode == 2 && !d.face.caption.empty() && textWidth)
                w = std::max(w, textWidth(d.face.caption) + w + s(6));
            if (d.kind == CToolbarButtonDesc::Group) w += s(14);
        }
        if (x + w > limit) continue;
        e.rect = {x, top, x + w, top + h};
        x += w + s(2);
    }
}

int ToolbarHitTest(const std::vector<ToolbarButtonEntry>& entries, int x, int y) {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].IsButton() && !entries[i].rect.IsEmpty() && entries[i].rect.Contains(x, y)) return int(i);
    return -1;
}
