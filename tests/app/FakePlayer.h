#pragma once

// A fake player for window tests: a folder with media files and a database describing them,
// opened straight into a main window, as the open command would.
#include "ITDBParser.h"
#include "ItdbWriter.h"
#include "TMainForm.h"
#include "TOverwritePromptForm.h"
#include "TrackListModel.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QTreeView>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

struct FakeTrack {
    std::int32_t Number;
    std::u16string Title;
    std::string Location; // as the player stores it: ":iPod_Control:Music:F00:A.mp3"
    std::string Content;  // the file's bytes; no file when `Missing`
    bool Missing = false;
};

class FakePlayer {
public:
    explicit FakePlayer(const std::vector<FakeTrack>& tracks)
    {
        static int counter = 0;
        Dir = std::filesystem::temp_directory_path() /
              ("varnel-player-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir / "out");
        std::vector<itdbwriter::TrackSpec> records;
        std::vector<std::int32_t> ids;
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            const FakeTrack& t = tracks[i];
            const auto id = static_cast<std::int32_t>(100 + i);
            itdbwriter::TrackSpec record =
                itdbwriter::Track(id, t.Title, std::u16string(t.Location.begin(), t.Location.end()), u"Album", u"Band");
            record.TrackNumber = t.Number;
            records.push_back(record);
            ids.push_back(id);
            if (!t.Missing) {
                std::string relative = t.Location;
                std::replace(relative.begin(), relative.end(), ':', '/');
                Write(Root() + relative, t.Content);
            }
        }
        itdbwriter::Database db;
        db.AddTracks(records);
        db.AddPlaylists({itdbwriter::Playlist(u"iPod", true, ids)});
        DatabasePath = Root() + "/iPod_Control/iTunes/iTunesDB";
        std::filesystem::create_directories(Root() + "/iPod_Control/iTunes");
        db.WriteTo(DatabasePath);
    }
    ~FakePlayer() { std::filesystem::remove_all(Dir); }

    std::string Root() const { return (Dir / "player").string(); }
    std::string Out() const { return (Dir / "out").string(); }
    std::string Out(const std::string& name) const { return (Dir / "out" / name).string(); }

    // Opens the database in `form` with the tracks in `order` (indices into the constructor's list).
    void OpenIn(TMainForm& form, const std::vector<int>& order) const
    {
        form.Database = std::make_unique<ITDBParser>(DatabasePath);
        form.Database->Parse(-1);
        form.IPodDrive = Root();
        std::vector<const OneTrack*> rows;
        for (const int i : order)
            rows.push_back(form.Database->FindTrack(100 + i));
        form.TrackListItems->Reset(rows);
    }

    static void Select(TMainForm& form, const std::vector<int>& rows)
    {
        QItemSelectionModel* selection = form.TrackList->selectionModel();
        selection->clearSelection();
        for (const int row : rows)
            selection->select(form.TrackListItems->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    static void Write(const std::string& path, const std::string& content)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path Dir;
    std::string DatabasePath;
};

// Answers the overwrite prompt from a queue while it is up, and records the paths it showed.
// AnswerCancel in the queue is given with the close button, which must mean the same.
class PromptScript {
public:
    explicit PromptScript(std::deque<OverwriteAnswer> answers, std::function<void()> onAsk = {})
        : Answers(std::move(answers)), OnAsk(std::move(onAsk))
    {
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            auto* prompt = qobject_cast<TOverwritePromptForm*>(QApplication::activeModalWidget());
            if (!prompt || !prompt->isVisible())
                return;
            Shown.push_back(prompt->ShownPath());
            if (OnAsk)
                OnAsk();
            if (Answers.empty()) {
                prompt->BtnNo->click();
                ++Unexpected;
                return;
            }
            const OverwriteAnswer answer = Answers.front();
            Answers.pop_front();
            switch (answer) {
            case AnswerYes: prompt->BtnYes->click(); break;
            case AnswerYesToAll: prompt->BtnYesAll->click(); break;
            case AnswerNo: prompt->BtnNo->click(); break;
            case AnswerNoToAll: prompt->BtnNoAll->click(); break;
            case AnswerCancel: prompt->close(); break;
            }
        });
        Timer.start(2);
    }

    QStringList Shown;
    int Unexpected = 0;

private:
    std::deque<OverwriteAnswer> Answers;
    std::function<void()> OnAsk;
    QTimer Timer;
};

// A fresh settings store with the given values, for a window created afterwards.
inline void StoreSettings(const std::vector<std::pair<const char*, QString>>& values)
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel");
    store.clear();
    store.setValue("FirstRun", "0");
    for (const auto& [name, value] : values)
        store.setValue(name, value);
    store.sync();
}

inline QString StoredSetting(const char* name)
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel").value(name).toString();
}
