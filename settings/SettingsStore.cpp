#include "SettingsStore.h"

#include "AppTitle.h"
#include "DecimalInt32.h"
#include "ForbiddenFileNameChars.h"

#include <QSettings>
#include <QString>
#include <QVariant>

#include <algorithm>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

const char* const Organization = "Mardle Works";

std::unique_ptr<QSettings> OpenStore()
{
    auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QString::fromLatin1(Organization),
                                             QString::fromLatin1(kAppTitle));
    // Only the user's own values count: a system-wide or organisation-wide file must not
    // supply a setting that the user's store lacks.
    store->setFallbacksEnabled(false);
    return store;
}

// The value's text, or nothing when the value is missing. A value that is there but is not
// text (a typed "@Variant(...)" entry, an unquoted list, "@Invalid()", a registry DWORD) is refused.
std::optional<std::string> ReadText(const QSettings& store, const char* name)
{
    const QString key = QString::fromLatin1(name);
    if (!store.contains(key))
        return std::nullopt;
    const QVariant value = store.value(key);
    if (value.typeId() != QMetaType::QString)
        throw std::runtime_error("Invalid data type for '" + std::string(name) + "'");
    return value.toString().toStdString();
}

std::int32_t ReadInt(const QSettings& store, const char* name, std::int32_t fallback)
{
    const std::optional<std::string> text = ReadText(store, name);
    if (!text)
        return fallback;
    return ParseDecimalInt32(*text).value_or(fallback);
}

bool ReadBool(const QSettings& store, const char* name, bool fallback)
{
    return ReadInt(store, name, fallback ? 1 : 0) != 0;
}

void WriteText(QSettings& store, const char* name, const std::string& text)
{
    store.setValue(QString::fromLatin1(name), QString::fromStdString(text));
}

void WriteInt(QSettings& store, const char* name, std::int32_t value)
{
    WriteText(store, name, std::to_string(value));
}

void WriteAll(QSettings& store, const Settings& record)
{
    WriteInt(store, "x", record.Bounds.x);
    WriteInt(store, "y", record.Bounds.y);
    WriteInt(store, "w", record.Bounds.w);
    WriteInt(store, "h", record.Bounds.h);
    WriteInt(store, "TrackLimit", record.TrackLimit);
    WriteInt(store, "OverwriteFiles", record.OverwriteFiles);
    WriteText(store, "FileFormat", record.FileFormat);
    WriteText(store, "ExtractPath", record.ExtractPath);
    if (!record.LastExtractFolder.empty())
        WriteText(store, "LastExtractFolder", record.LastExtractFolder);
    // Beside the twelve only when not at their defaults, removed again when back at them.
    if (record.ShowCover)
        store.remove(QStringLiteral("ShowCover"));
    else
        WriteInt(store, "ShowCover", 0);
    if (record.TrackListColumns.empty())
        store.remove(QStringLiteral("TrackListColumns"));
    else
        WriteText(store, "TrackListColumns", record.TrackListColumns);
    WriteText(store, "FirstRun", "0");
    WriteInt(store, "ShowMenuBar", record.ShowMenuBar ? 1 : 0);
    WriteInt(store, "ShowToolbar", record.ShowToolbar ? 1 : 0);
    WriteInt(store, "ShowStatusBar", record.ShowStatusBar ? 1 : 0);
}

QSettings::Status WriteAndSync(const Settings& record, QString& fileName)
{
    const auto store = OpenStore();
    fileName = store->fileName();
    if (!store->isWritable())
        return QSettings::AccessError;
    WriteAll(*store, record);
    store->sync();
    return store->status();
}

} // namespace

std::int32_t SettingsStore::DefaultExtent(std::int32_t workExtent, std::int32_t cap)
{
    return std::min(workExtent, cap);
}

std::int32_t SettingsStore::DefaultOffset(std::int32_t fullExtent, std::int32_t extent)
{
    // A stored extent may be anything; the difference is taken in 64 bits so that it cannot
    // overflow, and half of it always fits again.
    const std::int64_t difference = std::int64_t{fullExtent} - std::int64_t{extent};
    return static_cast<std::int32_t>(difference >> 1);
}

Settings SettingsStore::Load(const ScreenArea& screen)
{
    const auto store = OpenStore();
    Settings record;
    WindowBounds& b = record.Bounds;
    b.w = ReadInt(*store, "w", DefaultExtent(screen.workWidth, DefaultWidthCap));
    b.h = ReadInt(*store, "h", DefaultExtent(screen.workHeight, DefaultHeightCap));
    b.x = ReadInt(*store, "x", DefaultOffset(screen.fullWidth, b.w));
    b.y = ReadInt(*store, "y", DefaultOffset(screen.fullHeight, b.h));

    record.TrackLimit = ReadInt(*store, "TrackLimit", -1);

    record.OverwriteFiles = ReadInt(*store, "OverwriteFiles", AlwaysPrompt);
    if (record.OverwriteFiles < AlwaysOverwrite || record.OverwriteFiles > AlwaysPrompt)
        record.OverwriteFiles = AlwaysPrompt;

    if (std::optional<std::string> format = ReadText(*store, "FileFormat")) {
        if (!ContainsForbiddenFileNameChar(*format))
            record.FileFormat = std::move(*format);
    }

    record.ExtractPath = ReadText(*store, "ExtractPath").value_or(std::string());
    record.LastExtractFolder = ReadText(*store, "LastExtractFolder").value_or(std::string());
    record.ShowCover = ReadBool(*store, "ShowCover", true);
    record.TrackListColumns = ReadText(*store, "TrackListColumns").value_or(std::string());
    record.FirstRun = ReadBool(*store, "FirstRun", true);
    record.ShowMenuBar = ReadBool(*store, "ShowMenuBar", true);
    record.ShowToolbar = ReadBool(*store, "ShowToolbar", true);
    record.ShowStatusBar = ReadBool(*store, "ShowStatusBar", true);
    return record;
}

void SettingsStore::Save(const Settings& record)
{
    QString fileName;
    QSettings::Status status = WriteAndSync(record, fileName);
    if (status == QSettings::FormatError) {
        // The file on disk held lines that could not be parsed. Qt reports that on the sync that
        // rewrote the file, which may well have succeeded; a second pass over the rewritten file
        // tells a good write from a failed one.
        status = WriteAndSync(record, fileName);
    }
    // Named by the file's real path, so that the user can find it.
    if (status != QSettings::NoError)
        throw std::runtime_error("Failed to create key " + fileName.toStdString());
}
