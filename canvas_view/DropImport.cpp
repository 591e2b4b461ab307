#include "canvas_view/DropImport.h"

#include "document/CQuillfenEditorDoc.h"
#include "document/DocumentHost.h"
#include "platform/Prompts.h"

#include <cctype>

bool IsSupportedImageFile(const std::string& name) {
    std::string s = name;
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    auto ends = [&s](const char* ext) {
        const std::string e(ext);
        return s.size() >= e.size() && s.compare(s.size() - e.size(), e.size(), e) == 0;
    };
    return ends(".png") || ends(".jpg") || ends(".jpeg") || ends(".bmp");
}

int ImportDroppedFiles(CQuillfenEditorDoc& doc, const std::vector<std::string>& paths, float x, float y,
                       std::string& errors) {
    int imported = 0;
    float offset = 0;
    for (const std::string& path : paths) {
        if (!IsSupportedImageFile(path)) continue;
        std::string error;
        if (doc.ImportImageFiles(path, x + offset, y + offset, error)) {
            offset += 24;
            ++imported;
        } else {
            errors += path + ": " + error + "\n";
        }
    }
    return imported;
}

void ShowDropErrors(Prompts& prompts, const std::string& errors) {
    prompts.ShowMessage(MakeMessage(errors, PromptIcon::Exclamation));
}

int ImportDroppedFilesAndReport(CQuillfenEditorDoc& doc, const std::vector<std::string>& paths, float x,
                                float y) {
    std::string errors;
    const int n = ImportDroppedFiles(doc, paths, x, y, errors);
    if (!errors.empty())
        if (DocumentHost* host = doc.Host())
            if (Prompts* prompts = host->GetPrompts()) ShowDropErrors(*prompts, errors);
    return n;
}
