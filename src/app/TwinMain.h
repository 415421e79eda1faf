#pragma once
#include "window/Dialogs.h"
#include "app/GroupLineIndex.h"
#include "device/EibConverter.h"
#include "ets/EtsImport.h"
#include "model/EibGroup.h"

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zelo {

class TCheckListBox;

inline constexpr const char* WindowCaption = "ZELO-KNX-ASCII Configurator";
inline constexpr const char* OpenDialogFilter = "CSV File (*.csv)|*.csv";

// The driver writes its status into the window's label and gauge and wants to see it painted at once.
class TStatusLabel : public IStatusLabel {
public:
    void SetStatusText(const std::string& text) override;
    void RepaintNow() override;
    QLabel* Label = nullptr;
};

class TProgressGauge : public IProgressGauge {
public:
    void SetMinimum(int value) override;
    void SetMaximum(int value) override;
    void SetPosition(int value) override;
    void RepaintNow() override;
    QProgressBar* Bar = nullptr;
};

// The configurator's one window.
class TwinMain : public QWidget {
    Q_OBJECT
public:
    // settingsFileName: where the link settings are read at start and written at the end.
    TwinMain(Dialogs& dialogs, const std::string& settingsFileName, QWidget* parent = nullptr);
    ~TwinMain() override;

    // Bands
    QLabel* DeviceSetupCaption;
    QWidget* DeviceSetupContainer;
    QLabel* GroupAddressCaption;
    QWidget* GroupAddressContainer;
    QLabel* ProgressCaption;
    QWidget* ProgressContainer;
    QLabel* CommandListCaption;
    QPlainTextEdit* CommandList;
    QWidget* ButtonContainer;
    // Device setup
    QLabel* Label6;
    QComboBox* cmbDevice;
    QLabel* Label7;
    QComboBox* cmbBaudrate;
    QLabel* Label1;
    QLineEdit* txtPhyAdr;
    QCheckBox* chkPrintSource;
    QCheckBox* chkPrintHex;
    QCheckBox* chkFullDuplex;
    // Group addresses
    QLabel* Label2;
    QLineEdit* txtGrpAdrStart;
    QLabel* Label4;
    QLineEdit* txtGrpAdrEnd;
    QGroupBox* grpAccessType;
    QButtonGroup* AccessTypeButtons;
    QLabel* Label3;
    TCheckListBox* EibDptList;
    QPushButton* btnAdd;
    QPushButton* btnIgnore;
    QPushButton* btnImport;
    QPushButton* btnAbort;
    QPushButton* btnAddAll;
    // Progress
    QLabel* labStatus;
    QProgressBar* ProgressBar;
    // Buttons
    QPushButton* btnDownload;
    QPushButton* btnExit;

    // Owned objects
    std::unique_ptr<TEibConverter> Converter;
    std::unique_ptr<TEibGroup> CurrentGroup;
    std::vector<std::string> ImportLines;
    std::vector<std::string> ImportFields;
    std::int32_t ImportIndex = 0;
    bool Importing = false;

    // Deals with the range in CurrentGroup: appends its line, finds it present, or replaces the range of the
    // same start when the user agrees. False when no datapoint type is checked.
    bool AddCurrentGroup();
    // Appends the group line of CurrentGroup as the new last line of the command list.
    void AppendGroupLine();
    // The lines of the command list as the download sends them (a line end at the very end adds no line).
    std::vector<std::string> CommandLines() const;
    // The box of a handler: titled with the window's caption.
    int ShowMessage(const std::string& text, int flags, const std::string& detail = {});
    Dialogs& Boxes() { return Dialogs_; }
    bool DownloadRunning() const { return Downloading; }

    // The ETS3 import: offers the next range of the file or ends the import.
    void ImportNextRange();
    // Sets up EibDptList for a range's datatype text; false when the text offers nothing to accept.
    bool OfferDatapointTypes(const std::string& text);

public slots:
    void txtPhyAdrExit();
    void txtGrpAdrStartExit();
    void txtGrpAdrEndExit();
    void EibDptListClickCheck(int row);
    void grpAccessTypeClick(int index);
    void btnAddClick();
    void btnDownloadClick();
    void cmbDeviceChange();
    void cmbBaudrateChange();
    void btnExitClick();
    void btnImportClick();
    void btnIgnoreClick();
    void btnAbortClick();
    void btnAddAllClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void FormDestroy();
    void CenterOnScreen();
    void WidenDeviceList();
    // Edits of the command list made by the window itself; the user's edits invalidate the table's mirror.
    void ReplaceLine(int lineNumber, const std::string& text);
    int AppendLine(const std::string& text);
    void RefreshGroups();
    void GroupAddressExit(QLineEdit* field, std::uint16_t& target);
    void EndDownload();
    void CreateImportControls();
    // Advances to the next range and shows it; a range offers itself in the controls.
    ImportStep StepImport();
    void ShowImportNotice(const std::string& text);
    DptListState ReadDptList() const;
    void WriteDptList(const DptListState& state);

    Dialogs& Dialogs_;
    std::string SettingsFileName_;
    TStatusLabel StatusLabel_;
    TProgressGauge ProgressGauge_;
    std::unique_ptr<GroupLineIndex> GroupLines_;
    bool GroupsStale = true;
    int OwnEdits = 0;
    bool Downloading = false;
    bool CloseRequested = false;
    std::unique_ptr<EtsImporter> Importer_;
    DatapointOffer Offer_;
    bool RestoringFocus = false;
};

} // namespace zelo
