// The main window's find as you type: the filter field above the track list.
#include "TMainForm.h"

#include "RowSelection.h"
#include "TrackListModel.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTreeView>
#include <QVBoxLayout>

QWidget* TMainForm::CreateTrackFilter(QWidget* list)
{
    TrackFilter = new QLineEdit;
    TrackFilter->setObjectName("TrackFilter");
    TrackFilter->setPlaceholderText("Filter by title, artist or album");
    TrackFilter->setToolTip("Filter by title, artist or album (Ctrl+K)");
    TrackFilter->setClearButtonEnabled(true);
    TrackFilter->installEventFilter(this);
    connect(TrackFilter, &QLineEdit::textChanged, this, &TMainForm::TrackFilterChange);

    LblFilterCount = new QLabel;
    LblFilterCount->setObjectName("LblFilterCount");
    LblFilterCount->setTextFormat(Qt::PlainText);
    LblFilterCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LblFilterCount->setVisible(false);

    TrackListItems->SetFilter([this](std::int32_t ordinal) {
        if (FilterWords.Empty())
            return true;
        if (FilterMatches.empty() && SortKeys)
            FilterMatches = SortKeys->MatchingTracks(FilterWords);
        return ordinal >= 0 && static_cast<std::size_t>(ordinal) < FilterMatches.size()
               && FilterMatches[static_cast<std::size_t>(ordinal)] != 0;
    });
    connect(TrackListItems, &QAbstractItemModel::modelReset, this, &TMainForm::ShowFilterCount);

    auto* pane = new QWidget;
    pane->setObjectName("TrackPane");
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 4, 0);
    bar->addWidget(TrackFilter, 1);
    bar->addWidget(LblFilterCount);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(list, 1);
    return pane;
}

void TMainForm::ActionViewFilterExecute()
{
    TrackFilter->setFocus(Qt::ShortcutFocusReason);
    TrackFilter->selectAll();
}

void TMainForm::TrackFilterChange(const QString& text)
{
    MatchWords words(text.toStdU16String());
    // Another blank or a letter that folds the same shows the same rows.
    if (words.List() == FilterWords.List()) {
        ShowFilterCount();
        return;
    }
    FilterWords = std::move(words);
    FilterMatches.clear();
    FilterTrackList();
}

void TMainForm::FilterTrackList()
{
    QItemSelectionModel& selection = *TrackList->selectionModel();
    // The selection and the current row by their place among all rows of the playlist.
    const std::vector<char> selectedRows = SelectedRowMask(selection);
    const std::vector<int> before = TrackListItems->ShownPositions();
    std::vector<char> selectedAt(TrackListItems->AllTracks().size(), 0);
    for (std::size_t row = 0; row < selectedRows.size() && row < before.size(); ++row)
        selectedAt[static_cast<std::size_t>(before[row])] = selectedRows[row];
    const int currentRow = selection.currentIndex().row();
    const int currentAt = currentRow >= 0 && static_cast<std::size_t>(currentRow) < before.size()
                              ? before[static_cast<std::size_t>(currentRow)]
                              : -1;

    TrackListItems->Refilter();

    const std::vector<int>& after = TrackListItems->ShownPositions();
    std::vector<char> keep(after.size(), 0);
    int newCurrent = -1;
    for (std::size_t row = 0; row < after.size(); ++row) {
        keep[row] = selectedAt[static_cast<std::size_t>(after[row])];
        if (after[row] == currentAt)
            newCurrent = static_cast<int>(row);
    }
    if (newCurrent >= 0) {
        selection.setCurrentIndex(TrackListItems->index(newCurrent, 0), QItemSelectionModel::NoUpdate);
        TrackList->scrollTo(TrackListItems->index(newCurrent, 0));
    }
    SelectRowMask(selection, keep);
}

void TMainForm::ShowFilterCount()
{
    const bool shown = !TrackFilter->text().isEmpty();
    if (shown) {
        const QLocale locale;
        const QString total = locale.toString(static_cast<qlonglong>(TrackListItems->AllTracks().size()));
        // As wide as the longest count of this playlist, so that the field keeps its width while
        // the count changes under the typing.
        LblFilterCount->setMinimumWidth(LblFilterCount->fontMetrics().horizontalAdvance(total + " of " + total));
        LblFilterCount->setText(locale.toString(TrackListItems->rowCount()) + " of " + total);
    }
    LblFilterCount->setVisible(shown);
}

bool TMainForm::IsCommandKey(const QKeyEvent& key) const
{
    const QKeySequence pressed(key.keyCombination());
    for (const QAction* action : actions()) {
        if (action != ActionEditAll && action->isEnabled() && action->shortcut() == pressed)
            return true;
    }
    return false;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    // A key the field would take for editing (on X11 Ctrl+E, Ctrl+D and Ctrl+K move and delete)
    // still runs the window's command of that key; Ctrl+A stays the field's select-all.
    if (watched == TrackFilter && event->type() == QEvent::ShortcutOverride
        && IsCommandKey(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    // Escape, which stops a run elsewhere in the window, clears the field in it.
    if (watched == TrackFilter && event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
        && static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        event->accept();
        return true;
    }
    // Whoever goes to the field is about to type: the texts are folded now rather than under the
    // first key.
    if (watched == TrackFilter && event->type() == QEvent::FocusIn && SortKeys)
        SortKeys->PrepareMatching();
    if (watched == TrackFilter && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        switch (plain ? key->key() : 0) {
        case Qt::Key_Escape:
            TrackFilter->clear();
            TrackList->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
            if (TrackListItems->rowCount() > 0) {
                const QModelIndex first = TrackListItems->index(0, 0);
                TrackList->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect
                                                                        | QItemSelectionModel::Rows);
                TrackList->scrollTo(first);
            }
            TrackList->setFocus(Qt::OtherFocusReason);
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
