#pragma once

#include "program/ProgCell.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

class Catalogue;
class clsIniFile;

// A backup of a whole controller: a folder with one program file per
// channel that holds a program (CH01.txt ... in the program file format, so
// that each opens in the editor) and the manifest backup.ini (code page 932,
// CR LF, like the other settings files): when and from where it was taken,
// the controller type, and per channel the step count and the SHA-256 of the
// file's bytes.
//
//   [Backup]                 [CH01]
//   Date=2026-12-08T14:10:00  Steps=25
//   Port=/dev/ttyUSB0         File=CH01.txt
//   Line=9600,N,8,1           SHA256=9f86d0...
//   ControllerType=3
//   Axes=3
//
// A channel that was empty has Steps=0 and no file.
namespace BackupFolder {

struct Entry
{
    int channel = 0;
    int steps = 0;
    QByteArray sha256; // hex; empty for an empty channel
};

struct Manifest
{
    QDateTime taken;
    QString port;
    QString line;
    int controllerType = 0;
    int axes = 0; // the axis count of the files
    QList<Entry> channels; // every channel read, 1 first
};

QString fileName(int channel);
QString manifestName();
QByteArray manifestText(const Manifest &manifest);

// The texts of backups and restores: key Mes<n> of section [Backup] in the
// run's language, or `english` where the language file lacks it.
QString text(const clsIniFile &lang, int n, const char *english);

// Why a new backup cannot go to `dir` (it exists, or its parent folder
// cannot be written); empty when it can.
QString targetProblem(const QString &dir, const clsIniFile &lang);

// Writes the folder all or nothing: into a new sibling folder first, which
// takes the name `dir` only once every file is complete. False, with the
// reason, when anything failed; nothing is left behind then.
bool write(const QString &dir, const Manifest &manifest, const QMap<int, QByteArray> &files, const clsIniFile &lang,
           QString *error);

struct Contents
{
    Manifest manifest;
    QMap<int, QList<ProgStep>> programs; // the channels with a program
    QStringList problems;                // every file or entry refused
    bool ok() const { return problems.isEmpty(); }
};

// Reads a backup and checks all of it, as a restore must before it sends
// anything: the manifest, each file's checksum, each file by the program
// file reader's rules with the run's axis count and step capacity.
Contents read(const QString &dir, const Catalogue &catalogue, int runAxes, int maxStep, const clsIniFile &lang);

} // namespace BackupFolder
