#pragma once

#include <QString>

// A file path as it is kept in a settings file of code page 932. A path the
// code page can hold is kept as it is, readable; any other (a name with
// letters outside the code page, as Linux file names may have) is kept as
// its UTF-8 bytes, percent-encoded behind the prefix "utf-8:", so that no
// path is lost on the way to the file and back.
class PathText
{
public:
    static QString toStored(const QString &path);
    static QString fromStored(const QString &stored);
};
