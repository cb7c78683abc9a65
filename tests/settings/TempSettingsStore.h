#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>
#include <vector>

// Points the user's settings store at a new, empty folder for as long as it lives, so that each
// test starts from an empty store. QSettings keeps parsed files cached per path within the
// process; a new folder per test, and a copy in yet another folder to read back what was
// written, keep that cache from answering in place of the file.
class TempSettingsStore {
public:
    TempSettingsStore();

    QString ConfigFolder() const;
    QString FilePath() const;
    bool FileExists() const;

    // Writes the store file by hand: `body` follows a "[General]" line.
    void WriteRaw(const QByteArray& body) const;
    QByteArray ReadRaw() const;

    // Every value in the file as a fresh parse of it sees it.
    QMap<QString, QVariant> StoredValues();

    // Makes a copy of the file in a new folder the current store, so that the next load parses
    // the file as written instead of Qt's cached copy.
    void ReopenFromCopy();

private:
    void Activate(const QString& folder);

    std::vector<std::unique_ptr<QTemporaryDir>> folders;
};
