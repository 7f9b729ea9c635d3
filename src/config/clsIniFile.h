#pragma once

#include <QString>

class QObject;

// Reader and writer of INI-style settings files in code page 932, and the
// caption scheme built on it: every captioned element that carries a caption
// key (the dynamic property "tag") gets its caption from the file.
//
// Behaviour of the reader: section and key names are matched without regard
// to letter case and the first match wins; names and values lose the blanks
// (spaces and tabs) around them, nothing else; the value is the text after
// the first "=", with one pair of matching quotes around the whole value
// removed, cut at 255 bytes of its code page 932 form and then at its first
// NUL character. A missing file, section or key gives the caller's default.
// Nothing is cached: every read goes to the file.
class clsIniFile
{
public:
    // Name of the dynamic property that holds an element's caption key.
    static constexpr const char *kTagProperty = "tag";
    // Longest value returned, in bytes of code page 932.
    static constexpr int kMaxValueBytes = 255;

    clsIniFile() = default;
    explicit clsIniFile(const QString &iniFile) : m_iniFile(iniFile) {}

    QString GetINIStr(const QString &strApp, const QString &strKey,
                      const QString &strDefault = QString()) const;

    QString INIFile() const { return m_iniFile; }
    void setINIFile(const QString &vNewValue) { m_iniFile = vNewValue; }

    QString AppName() const { return m_appName; }
    void setAppName(const QString &vNewValue) { m_appName = vNewValue; }

    // Writes the key with the value into section AppName, creating file,
    // section or key as needed. The file is replaced atomically and stays in
    // code page 932 with CR LF line ends. Returns false when it could not be
    // written (the old file is then unchanged).
    bool WriteString(const QString &strKey, const QString &strData) const;

    // Sets the caption of every tagged element under the window from the
    // section named like the window (its object name).
    void CaptionChange(QObject *frmForm) const;
    // The same, from the given section.
    void CaptionSet(QObject *frmForm, const QString &strSec) const;

    // Sets one element's caption: its "text" property, else its "title".
    static void setCaption(QObject *element, const QString &caption);

    // A key of a numbered series: the prefix and three digits ("Mes007").
    static QString numberedKey(QStringView prefix, int number);

private:
    QString m_iniFile;
    QString m_appName;
};
