#include "ScriptedDialogs.h"

#include <QCursor>
#include <QGuiApplication>

UserDialogs::Answer ScriptedDialogs::Message(QWidget*, const QString& caption, const QString& text, Icon icon,
                                             Buttons buttons)
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    messages.push_back({caption, text, icon, buttons, cursor && cursor->shape() == Qt::WaitCursor});
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (answers.empty()) {
        ++unexpected;
        return Answer::No;
    }
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

namespace {

QString Next(std::deque<QString>& queue, int& unexpected)
{
    if (queue.empty()) {
        ++unexpected;
        return {};
    }
    QString p = queue.front();
    queue.pop_front();
    return p;
}

} // namespace

QString ScriptedDialogs::ChooseFolder(QWidget*, const QString& caption, const QString& startFolder)
{
    dialogStarts << startFolder;
    dialogCaptions << caption;
    return Next(paths, unexpected);
}

QString ScriptedDialogs::ChooseOpenFile(QWidget*, const QString& caption, const QString& startFolder,
                                        const QString& filter)
{
    dialogStarts << startFolder;
    dialogCaptions << caption;
    dialogFilters << filter;
    return Next(paths, unexpected);
}

QString ScriptedDialogs::ChooseSaveFile(QWidget*, const QString& caption, const QString& startPath,
                                        const QString& filter)
{
    dialogStarts << startPath;
    dialogCaptions << caption;
    dialogFilters << filter;
    return Next(paths, unexpected);
}
