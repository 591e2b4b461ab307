#include "app/IconShapes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

namespace {
constexpr double kPi = 3.14159265358979;

struct Pt {
    double x, y;
};

// Collects polygons in 0..1000 units. Filled shapes run one way and holes
// the other, so that overlapping shapes merge under the winding rule.
class Shape {
public:
    void Poly(std::vector<Pt> p, bool hole = false) {
        if (p.size() < 3) return;
        double area = 0;
        for (size_t i = 0; i < p.size(); ++i) {
            const Pt& a = p[i];
            const Pt& b = p[(i + 1) % p.size()];
            area += a.x * b.y - b.x * a.y;
        }
        if ((area < 0) != hole) std::reverse(p.begin(), p.end());
        polys_.push_back(std::move(p));
    }
    void Rect(double x0, double y0, double x1, double y1, bool hole = false) {
        Poly({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, hole);
    }
    void Frame(double x0, double y0, double x1, double y1, double t) {
        Rect(x0, y0, x1, y1);
        Rect(x0 + t, y0 + t, x1 - t, y1 - t, true);
    }
    void Ellipse(double cx, double cy, double rx, double ry, bool hole = false, int n = 28) {
        std::vector<Pt> p;
        for (int i = 0; i < n; ++i) {
            const double a = 2 * kPi * i / n;
            p.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
        }
        Poly(p, hole);
    }
    void Circle(double cx, double cy, double r, bool hole = false) { Ellipse(cx, cy, r, r, hole); }
    void Ring(double cx, double cy, double r, double t) {
        Circle(cx, cy, r);
        Circle(cx, cy, r - t, true);
    }
    void Line(Pt a, Pt b, double w) {
        const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
        if (len < 1e-9) return;
        const double nx = -dy / len * w / 2, ny = dx / len * w / 2;
        Poly({{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}});
    }
    // A polyline with round joins and caps.
    void Stroke(const std::vector<Pt>& pts, double w, bool closed = false) {
        for (size_t i = 0; i + 1 < pts.size(); ++i) Line(pts[i], pts[i + 1], w);
        if (closed && pts.size() > 2) Line(pts.back(), pts.front(), w);
        for (const Pt& p : pts) Ellipse(p.x, p.y, w / 2, w / 2, false, 12);
    }
    void Arc(double cx, double cy, double r, double a0, double a1, double w, int n = 16) {
        std::vector<Pt> pts;
        for (int i = 0; i <= n; ++i) {
            const double a = (a0 + (a1 - a0) * i / n) * kPi / 180;
            pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
        }
        Stroke(pts, w);
    }
    // A dashed outline along a closed polyline.
    void Dashed(const std::vector<Pt>& pts, double w, double dash, double gap) {
        double carry = 0;
        bool on = true;
        for (size_t i = 0; i < pts.size(); ++i) {
            Pt a = pts[i], b = pts[(i + 1) % pts.size()];
            const double len = std::hypot(b.x - a.x, b.y - a.y);
            double at = 0;
            while (at < len) {
                const double step = std::min((on ? dash : gap) - carry, len - at);
                if (on) {
                    Pt p0{a.x + (b.x - a.x) * at / len, a.y + (b.y - a.y) * at / len};
                    Pt p1{a.x + (b.x - a.x) * (at + step) / len, a.y + (b.y - a.y) * (at + step) / len};
                    Line(p0, p1, w);
                }
                at += step;
                carry += step;
                if (carry >= (on ? dash : gap) - 1e-9) {
                    carry = 0;
                    on = !on;
                }
            }
        }
    }
    void Plus(double cx, double cy, double r, double w) {
        Rect(cx - r, cy - w / 2, cx + r, cy + w / 2);
        Rect(cx - w / 2, cy - r, cx + w / 2, cy + r);
    }
    PolygonTable Table() const {
        PolygonTable t{int16_t(polys_.size())};
        for (const auto& p : polys_) {
            t.push_back(int16_t(p.size()));
            for (const Pt& q : p) {
                t.push_back(int16_t(std::lround(std::clamp(q.x, 0.0, 1000.0))));
                t.push_back(int16_t(std::lround(std::clamp(q.y, 0.0, 1000.0))));
            }
        }
        return t;
    }

private:
    std::vector<std::vector<Pt>> polys_;
};

std::vector<Pt> EllipsePts(double cx, double cy, double rx, double ry, int n = 28) {
    std::vector<Pt> p;
    for (int i = 0; i < n; ++i) p.push_back({cx + rx * std::cos(2 * kPi * i / n), cy + ry * std::sin(2 * kPi * i / n)});
    return p;
}

// A mouse pointer with its tip at (x, y), height h.
void Pointer(Shape& s, double x, double y, double h, bool hollow) {
    const double k = h / 1000;
    std::vector<Pt> p = {{x, y}, {x, y + 760 * k}, {x + 190 * k, y + 590 * k}, {x + 320 * k, y + 880 * k},
                         {x + 440 * k, y + 830 * k}, {x + 310 * k, y + 550 * k}, {x + 560 * k, y + 550 * k}};
    s.Poly(p);
    if (hollow) {
        std::vector<Pt> in = {{x + 70 * k, y + 170 * k}, {x + 70 * k, y + 590 * k}, {x + 200 * k, y + 470 * k},
                              {x + 340 * k, y + 770 * k}, {x + 360 * k, y + 760 * k}, {x + 220 * k, y + 480 * k},
                              {x + 400 * k, y + 480 * k}};
        s.Poly(in, true);
    }
}

// A brush: handle from top right, ferrule and a bristle tip towards bottom left.
void Brush(Shape& s) {
    s.Line({860, 140}, {560, 440}, 110);
    s.Poly({{470, 420}, {580, 530}, {520, 590}, {410, 480}});
    s.Poly({{400, 490}, {510, 600}, {430, 700}, {310, 800}, {170, 860}, {230, 720}, {300, 590}});
}

void Bone(Shape& s, Pt a, Pt b, double r) {
    s.Line(a, b, r * 1.1);
    const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    const double nx = -dy / len * r * 0.75, ny = dx / len * r * 0.75;
    s.Circle(a.x + nx, a.y + ny, r);
    s.Circle(a.x - nx, a.y - ny, r);
    s.Circle(b.x + nx, b.y + ny, r);
    s.Circle(b.x - nx, b.y - ny, r);
}

void Layers(Shape& s) {
    s.Poly({{80, 560}, {440, 380}, {800, 560}, {440, 740}});
    s.Poly({{80, 400}, {440, 220}, {800, 400}, {440, 580}, {440, 520}, {680, 400}, {440, 280}, {200, 400}, {440, 520},
            {440, 580}});
}

void Arrow(Shape& s, bool up, double y0, double y1) {
    // Shaft and head between y0 (tail) and y1 (tip), vertical.
    const double dir = up ? -1 : 1;
    s.Rect(420, std::min(y0, y1 - dir * 300), 580, std::max(y0, y1 - dir * 300));
    s.Poly({{500, y1}, {800, y1 - dir * 320}, {200, y1 - dir * 320}});
}

std::map<std::string, std::function<void(Shape&)>> Designs() {
    std::map<std::string, std::function<void(Shape&)>> d;
    // Main toolbar.
    d["new"] = [](Shape& s) {
        s.Poly({{200, 80}, {600, 80}, {800, 280}, {800, 920}, {200, 920}});
        s.Poly({{270, 150}, {560, 150}, {560, 320}, {730, 320}, {730, 850}, {270, 850}}, true);
        s.Plus(500, 590, 150, 80);
    };
    d["open"] = [](Shape& s) {
        s.Poly({{80, 220}, {380, 220}, {460, 300}, {820, 300}, {820, 420}, {160, 420}, {80, 800}});
        s.Poly({{200, 470}, {940, 470}, {820, 820}, {80, 820}});
    };
    d["save"] = [](Shape& s) {
        s.Poly({{120, 120}, {740, 120}, {880, 260}, {880, 880}, {120, 880}});
        s.Rect(260, 120, 680, 380, true);
        s.Rect(560, 170, 640, 330);
        s.Rect(240, 540, 760, 880, true);
        s.Rect(310, 620, 690, 660);
        s.Rect(310, 720, 690, 760);
    };
    d["top"] = [](Shape& s) { s.Rect(180, 100, 820, 190); Arrow(s, true, 900, 260); };
    d["moveup"] = [](Shape& s) { Arrow(s, true, 880, 120); };
    d["movedown"] = [](Shape& s) { Arrow(s, false, 120, 880); };
    d["bottom"] = [](Shape& s) { s.Rect(180, 810, 820, 900); Arrow(s, false, 100, 740); };
    // Right-pane pages.
    d["addlayer"] = [](Shape& s) { Layers(s); s.Plus(800, 790, 160, 90); };
    d["removelayer"] = [](Shape& s) { Layers(s); s.Rect(640, 745, 960, 835); };
    d["addmask"] = [](Shape& s) {
        s.Frame(120, 120, 880, 880, 80);
        s.Circle(500, 500, 250);
    };
    d["thumbnail"] = [](Shape& s) {
        for (int r = 0; r < 3; ++r) {
            const double y = 140 + r * 260;
            s.Rect(120, y, 320, y + 200);
            s.Rect(400, y + 60, 880, y + 140);
        }
    };
    d["garbage"] = [](Shape& s) {
        s.Rect(160, 200, 840, 290);
        s.Rect(400, 110, 600, 200);
        s.Poly({{220, 330}, {780, 330}, {730, 900}, {270, 900}});
        s.Rect(350, 400, 410, 820, true);
        s.Rect(470, 400, 530, 820, true);
        s.Rect(590, 400, 650, 820, true);
    };
    // Tool strip.
    d["arrow"] = [](Shape& s) { Pointer(s, 280, 90, 850, false); };
    d["arrow2"] = [](Shape& s) {
        Pointer(s, 320, 90, 820, true);
        s.Rect(80, 760, 220, 900);
    };
    d["skew"] = [](Shape& s) {
        s.Poly({{330, 200}, {900, 200}, {670, 800}, {100, 800}});
        s.Poly({{410, 280}, {790, 280}, {620, 720}, {220, 720}}, true);
    };
    d["distort"] = [](Shape& s) {
        std::vector<Pt> q = {{160, 220}, {820, 120}, {880, 860}, {220, 760}};
        s.Stroke(q, 60, true);
        for (const Pt& p : q) s.Rect(p.x - 80, p.y - 80, p.x + 80, p.y + 80);
    };
    d["movebone"] = [](Shape& s) { Bone(s, {260, 740}, {740, 260}, 100); };
    d["poseeditor"] = [](Shape& s) {
        s.Circle(500, 170, 110);
        s.Stroke({{500, 300}, {500, 600}}, 110);
        s.Stroke({{220, 300}, {500, 380}, {780, 470}}, 90);
        s.Stroke({{300, 900}, {500, 600}, {700, 900}}, 100);
    };
    d["paintbrush"] = [](Shape& s) { Brush(s); };
    d["mixer"] = [](Shape& s) {
        Brush(s);
        s.Circle(760, 720, 90);
        s.Poly({{760, 520}, {830, 660}, {690, 660}});
    };
    d["blendbrush"] = [](Shape& s) {
        Brush(s);
        s.Arc(720, 780, 110, 200, 340, 60);
        s.Arc(720, 900, 110, 200, 340, 60);
    };
    d["smudge"] = [](Shape& s) {
        s.Stroke({{380, 900}, {380, 330}}, 170);
        s.Circle(380, 260, 85);
        s.Stroke({{560, 900}, {560, 430}}, 150);
        s.Stroke({{720, 900}, {720, 500}}, 140);
        s.Arc(150, 580, 120, 150, 300, 50);
    };
    d["recolor"] = [](Shape& s) {
        Brush(s);
        s.Ring(760, 760, 170, 60);
        s.Circle(760, 760, 70);
    };
    d["clonebrush"] = [](Shape& s) {
        s.Circle(500, 200, 130);
        s.Rect(430, 300, 570, 560);
        s.Poly({{180, 560}, {820, 560}, {860, 720}, {140, 720}});
        s.Rect(140, 780, 860, 870);
    };
    d["healclone"] = [](Shape& s) {
        // A bandage across the icon: its pad and four holes in the pad.
        s.Line({170, 830}, {830, 170}, 300);
        s.Poly({{500, 330}, {670, 500}, {500, 670}, {330, 500}}, true);
        s.Poly({{500, 390}, {610, 500}, {500, 610}, {390, 500}});
        for (const Pt& p : std::vector<Pt>{{450, 450}, {550, 450}, {450, 550}, {550, 550}}) s.Circle(p.x, p.y, 28, true);
    };
    d["eraser"] = [](Shape& s) {
        s.Poly({{560, 120}, {900, 460}, {520, 840}, {180, 500}});
        s.Poly({{430, 250}, {770, 590}, {730, 630}, {390, 290}}, true);
        s.Rect(100, 880, 900, 930);
    };
    d["kitbash"] = [](Shape& s) {
        std::vector<Pt> star;
        for (int i = 0; i < 10; ++i) {
            const double r = i % 2 ? 180 : 400, a = (-90 + 36 * i) * kPi / 180;
            star.push_back({500 + r * std::cos(a), 520 + r * std::sin(a)});
        }
        s.Frame(60, 80, 940, 940, 60);
        s.Poly(star);
    };
    d["sel_rect"] = [](Shape& s) { s.Dashed({{130, 200}, {870, 200}, {870, 800}, {130, 800}}, 70, 130, 80); };
    d["sel_circle"] = [](Shape& s) { s.Dashed(EllipsePts(500, 500, 390, 300, 40), 70, 120, 80); };
    d["sel_circle_center"] = [](Shape& s) {
        s.Dashed(EllipsePts(500, 500, 390, 390, 40), 70, 120, 80);
        s.Plus(500, 500, 120, 60);
    };
    d["sel_poly"] = [](Shape& s) {
        std::vector<Pt> p = {{140, 260}, {620, 120}, {880, 520}, {560, 880}, {260, 660}};
        s.Stroke(p, 55, true);
        for (const Pt& q : p) s.Rect(q.x - 65, q.y - 65, q.x + 65, q.y + 65);
    };
    d["sel_laso"] = [](Shape& s) {
        std::vector<Pt> loop = EllipsePts(520, 380, 360, 240, 32);
        s.Stroke(loop, 60, true);
        s.Stroke({{250, 560}, {300, 700}, {220, 830}, {300, 920}}, 60);
    };
    d["sel_curve"] = [](Shape& s) {
        std::vector<Pt> c;
        for (int i = 0; i <= 24; ++i) {
            const double t = i / 24.0;
            c.push_back({120 + 760 * t, 560 - 330 * std::sin(t * 2 * kPi)});
        }
        s.Stroke(c, 55);
        s.Rect(60, 500, 180, 620);
        s.Rect(440, 440, 560, 560);
        s.Rect(820, 500, 940, 620);
    };
    d["magicwand"] = [](Shape& s) {
        s.Line({150, 880}, {600, 430}, 110);
        std::vector<Pt> star;
        for (int i = 0; i < 8; ++i) {
            const double r = i % 2 ? 90 : 230, a = (-90 + 45 * i) * kPi / 180;
            star.push_back({720 + r * std::cos(a), 290 + r * std::sin(a)});
        }
        s.Poly(star);
    };
    d["objectselect"] = [](Shape& s) {
        s.Dashed({{80, 80}, {920, 80}, {920, 920}, {80, 920}}, 55, 110, 70);
        s.Circle(500, 370, 130);
        s.Poly({{270, 780}, {330, 560}, {670, 560}, {730, 780}});
    };
    d["mask_paint"] = [](Shape& s) {
        s.Frame(80, 80, 700, 700, 60);
        s.Circle(390, 390, 180);
        s.Line({940, 420}, {700, 660}, 90);
        s.Poly({{640, 640}, {720, 720}, {590, 900}, {460, 960}, {500, 820}});
    };
    d["mask_erase"] = [](Shape& s) {
        s.Rect(80, 80, 700, 700);
        s.Circle(390, 390, 180, true);
        s.Poly({{780, 520}, {960, 700}, {760, 920}, {580, 740}});
    };
    d["light"] = [](Shape& s) {
        s.Circle(500, 380, 260);
        s.Rect(380, 640, 620, 740);
        s.Rect(410, 780, 590, 860);
        s.Circle(430, 320, 70, true);
    };
    d["addlight"] = [](Shape& s) {
        s.Poly({{380, 100}, {560, 100}, {860, 760}, {80, 760}});
        s.Ellipse(470, 760, 390, 110);
        s.Plus(800, 220, 150, 80);
    };
    d["colorpick"] = [](Shape& s) {
        s.Line({700, 300}, {240, 760}, 120);
        s.Poly({{240, 760}, {170, 900}, {110, 890}, {100, 830}, {200, 730}});
        s.Circle(780, 220, 170);
        s.Line({560, 280}, {720, 440}, 110);
    };
    d["addbone"] = [](Shape& s) {
        Bone(s, {200, 800}, {600, 400}, 90);
        s.Plus(790, 210, 160, 80);
    };
    d["linkjoints"] = [](Shape& s) {
        s.Ring(260, 500, 170, 70);
        s.Ring(740, 500, 170, 70);
        s.Circle(260, 500, 60);
        s.Circle(740, 500, 60);
        s.Rect(420, 465, 580, 535);
    };
    d["brushall"] = [](Shape& s) {
        s.Rect(80, 80, 920, 920);
        s.Rect(160, 160, 840, 840, true);
        s.Rect(240, 240, 760, 760);
    };
    // The properties pane's selection toolbar.
    d["small_desel"] = [](Shape& s) {
        s.Dashed({{100, 160}, {820, 160}, {820, 760}, {100, 760}}, 70, 120, 80);
        s.Line({560, 560}, {900, 900}, 110);
        s.Line({900, 560}, {560, 900}, 110);
    };
    d["small_invert"] = [](Shape& s) {
        s.Frame(100, 100, 900, 900, 70);
        s.Poly({{100, 100}, {900, 100}, {100, 900}});
        s.Circle(640, 640, 150);
    };
    d["small_mask"] = [](Shape& s) {
        s.Rect(80, 80, 920, 920);
        s.Circle(500, 500, 300, true);
        s.Dashed(EllipsePts(500, 500, 300, 300, 36), 50, 90, 60);
    };
    d["small_isolation"] = [](Shape& s) {
        s.Ring(500, 500, 430, 70);
        s.Line({330, 670}, {640, 360}, 110);
        s.Poly({{330, 670}, {230, 800}, {200, 770}, {300, 640}});
        s.Circle(700, 300, 110);
    };
    d["clearbrush"] = [](Shape& s) {
        s.Frame(80, 80, 920, 920, 70);
        s.Line({260, 260}, {740, 740}, 100);
        s.Line({740, 260}, {260, 740}, 100);
    };
    return d;
}

const std::map<std::string, PolygonTable>& Tables() {
    static const std::map<std::string, PolygonTable> tables = [] {
        std::map<std::string, PolygonTable> t;
        for (const auto& [name, draw] : Designs()) {
            Shape s;
            draw(s);
            t.emplace(name, s.Table());
        }
        return t;
    }();
    return tables;
}

std::string Stem(const std::string& name) {
    std::string n = name;
    if (n.size() > 4 && n.compare(n.size() - 4, 4, ".png") == 0) n.resize(n.size() - 4);
    return n;
}
}  // namespace

const PolygonTable* BuiltInIcon(const std::string& name) {
    auto it = Tables().find(Stem(name));
    return it == Tables().end() ? nullptr : &it->second;
}

std::vector<std::string> BuiltInIconNames() {
    std::vector<std::string> out;
    for (const auto& [name, table] : Tables()) out.push_back(name + ".png");
    return out;
}

bool IconFileIsLight(const std::string& name) {
    static const char* const light[] = {"new", "open", "save", "top", "moveup", "movedown", "bottom"};
    const std::string stem = Stem(name);
    for (const char* l : light)
        if (stem == l) return true;
    return false;
}
