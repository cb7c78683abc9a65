#include "TempSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <stdexcept>

TempSettingsStore::TempSettingsStore()
{
    folders.push_back(std::make_unique<QTemporaryDir>());
    Activate(folders.back()->path());
}

void TempSettingsStore::Activate(const QString& folder)
{
    if (folder.isEmpty())
        throw std::runtime_error("no temporary folder");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

QString TempSettingsStore::ConfigFolder() const
{
    return folders.back()->path();
}

QString TempSettingsStore::FilePath() const
{
    return ConfigFolder() + QStringLiteral("/Mardle Works/Varnel.conf");
}

bool TempSettingsStore::FileExists() const
{
    return QFileInfo::exists(FilePath());
}

void TempSettingsStore::WriteRaw(const QByteArray& body) const
{
    QDir().mkpath(QFileInfo(FilePath()).path());
    QFile file(FilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write the store file");
    file.write("[General]\n" + body);
}

QByteArray TempSettingsStore::ReadRaw() const
{
    QFile file(FilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QMap<QString, QVariant> TempSettingsStore::StoredValues()
{
    QTemporaryDir copyFolder;
    const QString copy = copyFolder.path() + QStringLiteral("/copy.conf");
    QFile::copy(FilePath(), copy);
    QSettings parsed(copy, QSettings::IniFormat);
    QMap<QString, QVariant> values;
    for (const QString& key : parsed.allKeys())
        values.insert(key, parsed.value(key));
    return values;
}

void TempSettingsStore::ReopenFromCopy()
{
    const QString previous = FilePath();
    folders.push_back(std::make_unique<QTemporaryDir>());
    QDir().mkpath(QFileInfo(FilePath()).path());
    QFile::copy(previous, FilePath());
    Activate(ConfigFolder());
}
