#pragma once
// The local files of a drop, as the views hand them to the importer; other
// URLs (web links) are left out.
#include <QMimeData>
#include <QUrl>

#include <string>
#include <vector>

inline std::vector<std::string> DroppedLocalPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}
