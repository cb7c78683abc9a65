// What the main window shows beside the nine columns: the extra columns chosen from the header's
// menu, the sort arrow, and the selected track's cover.
#include "TMainForm.h"

#include "CoverArt.h"
#include "CoverView.h"
#include "ElidedTipDelegate.h"
#include "PlayerPaths.h"
#include "TPreferencesForm.h"
#include "TrackListColumns.h"
#include "TrackListModel.h"
#include "UserDialogs.h"

#include <QAction>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QMenu>
#include <QTreeView>


namespace {

QImage DecodeCover(const CoverJpegBytes& jpeg)
{
    QImage image;
    if (jpeg && !jpeg->empty())
        image.loadFromData(jpeg->data(), static_cast<int>(jpeg->size()), "JPEG");
    return image;
}

} // namespace

void TMainForm::SetUpTrackColumns()
{
    TrackList->setItemDelegate(new ElidedTipDelegate(TrackList));
    QHeaderView* header = TrackList->header();
    for (int column = 0; column < TrackListColumnCount; ++column) {
        header->resizeSection(column, TrackListModel::DefaultWidth(column));
        header->setSectionHidden(column, IsExtraColumn(column));
    }
    header->setSortIndicator(-1, Qt::AscendingOrder);

    MenuHeaderColumns = new QMenu(this);
    MenuHeaderColumns->setObjectName("MenuHeaderColumns");
    for (int column = TrackColumnCount; column < TrackListColumnCount; ++column) {
        QAction* item = MenuHeaderColumns->addAction(ExtraColumnCaption(column));
        item->setCheckable(true);
        item->setData(column);
        connect(item, &QAction::triggered, this, [this, column](bool show) { ShowExtraColumn(column, show); });
    }
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& pos) {
        for (QAction* item : MenuHeaderColumns->actions())
            item->setChecked(!header->isSectionHidden(item->data().toInt()));
        MenuHeaderColumns->popup(header->mapToGlobal(pos));
    });
}

void TMainForm::ApplyShownColumns()
{
    const QList<int> shown =
        ShownColumnsFromText(QString::fromStdString(PreferencesForm ? PreferencesForm->GetTrackListColumns() : ""));
    for (int column = TrackColumnCount; column < TrackListColumnCount; ++column)
        TrackList->header()->setSectionHidden(column, !shown.contains(column));
}

void TMainForm::ShowExtraColumn(int column, bool show)
{
    if (!IsExtraColumn(column))
        return;
    QHeaderView* header = TrackList->header();
    header->setSectionHidden(column, !show);
    if (show && header->sectionSize(column) == 0)
        header->resizeSection(column, TrackListModel::DefaultWidth(column));
    QList<int> shown;
    for (int c = TrackColumnCount; c < TrackListColumnCount; ++c) {
        if (!header->isSectionHidden(c))
            shown << c;
    }
    if (!PreferencesForm)
        return;
    try {
        PreferencesForm->SetTrackListColumns(ShownColumnsText(shown).toStdString());
    } catch (...) {
        UserDialogs::ShowCurrentException(this);
    }
}

void TMainForm::ShowSortArrow(int column, bool descending)
{
    TrackList->header()->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

QWidget* TMainForm::CreateCoverPane()
{
    CoverPane = new CoverView;
    CoverPane->setObjectName("CoverPane");
    connect(TrackList->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TMainForm::ShowCurrentCover);
    connect(TrackListItems, &QAbstractItemModel::modelReset, this, &TMainForm::ShowCurrentCover);
    return CoverPane;
}

void TMainForm::ShowCoverPane(bool show)
{
    CoverPane->setVisible(show);
    ActionViewCover->setChecked(show);
    ShowCurrentCover();
}

void TMainForm::ActionViewCoverExecute()
{
    const bool show = CoverPane->isHidden();
    ShowCoverPane(show);
    if (PreferencesForm)
        PreferencesForm->SetShowCover(show);
}

void TMainForm::ShowCurrentCover()
{
    const OneTrack* track = TrackListItems->TrackAt(TrackList->currentIndex().row());
    if (!track || CoverPane->isHidden() || !Database) {
        CoverPane->SetImage({});
        return;
    }
    // The player's artwork database is read at the first cover asked for, once per database.
    if (!Covers)
        Covers = std::make_unique<CoverArt>(FindPathNoCase(IPodDrive, "iPod_Control/Artwork/ArtworkDB").value_or(""));
    CoverPane->SetImage(DecodeCover(Covers->CoverFor(track->GetDetails())));
}
