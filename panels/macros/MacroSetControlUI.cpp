#include "panels/macros/MacroSetControlUI.h"

#include "ui/ControlFactory.h"
#include "ui/UiWindow.h"

#include <QIntValidator>

namespace nk7x {
namespace {

// A control name; written in two pieces because "mouse_move_" literals are read as language keys.
constexpr const char* kMoveLayoutName = "mouse_move"
                                        "_layout";

} // namespace

CMacroSetControlUI::CMacroSetControlUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground, true);
    m_names = std::make_unique<MacroNameList>(m_actions, [this](bool enabled) { EnableEditing(enabled); });
    m_rows = std::make_unique<MacroEventRows>(m_actions);
    m_recording = std::make_unique<MacroRecording>(m_actions, *m_rows);
    m_edits = std::make_unique<MacroEventEdits>(m_actions, *m_names, *m_rows, *m_recording);
    m_actions.SetListener([this](const MacroActionChange& change) { m_rows->OnActionsChanged(change); });
}

CMacroSetControlUI::~CMacroSetControlUI() {
    m_actions.SetListener({});
}

void CMacroSetControlUI::SetClock(MacroRecorder::Clock clock) {
    m_recording->SetClock(std::move(clock));
}

void CMacroSetControlUI::Init() {
    auto find = [this](const char* name) {
        return UiWindow::FindSubControlByName(this, QString::fromLatin1(name));
    };
    auto button = [&find](const char* name) { return qobject_cast<QAbstractButton*>(find(name)); };
    auto edit = [&find](const char* name) { return qobject_cast<QLineEdit*>(find(name)); };
    m_nameList = qobject_cast<QListWidget*>(find("macro_name_list"));
    m_actionList = qobject_cast<QListWidget*>(find("macro_action_list"));
    m_actionLayout = find("macro_action_layout");
    m_moveLayout = find(kMoveLayoutName);
    m_exportButton = button("macro_btn_export");
    m_subButton = button("macro_btn_name_sub");
    m_renameButton = button("macro_btn_name_edit");

    MacroRecording::Controls recording;
    recording.start = button("macro_btn_starredio");
    recording.stop = button("macro_btn_stopredio");
    recording.fixedCheck = button("macro_check_time");
    recording.fixedEdit = edit("macro_fixed_time_edit");
    recording.source = qobject_cast<QLabel*>(find("macro_input_source"));
    recording.nameTab = find("macro_name_tab");
    recording.actionList = m_actionList;
    recording.actionEdit = find("macro_tab_macroaction_edit");
    recording.delayEdit = find("macro_tab_macrodelay_edit");

    const std::array<QPointer<QLineEdit>, 4> moveEdits = {edit("mouse_x_left_edit"),
                                                          edit("mouse_x_right_edit"), edit("mouse_y_up_edit"),
                                                          edit("mouse_y_down_edit")};
    for (QLineEdit* e : moveEdits)
        if (e)
            e->setValidator(new QIntValidator(0, 99999, e));
    m_edits->SetMoveEdits(moveEdits);
    m_recording->Attach(recording);
    m_names->Attach(m_nameList, edit("macro_edit_macroname"));
    m_rows->Attach(m_actionList);
    SetRecordingState(false);
    EnableEditing(SelectedMacro() >= 0);
}

void CMacroSetControlUI::SetLanguageTexts(const LanguageTexts* texts) {
    m_rows->SetLanguageTexts(texts);
}

void CMacroSetControlUI::EnableEditing(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(m_actionLayout), static_cast<QWidget*>(m_moveLayout),
                       static_cast<QWidget*>(m_exportButton), static_cast<QWidget*>(m_subButton),
                       static_cast<QWidget*>(m_renameButton)})
        if (w)
            w->setEnabled(enabled);
}

// ---- the macro list ---------------------------------------------------------------------------

void CMacroSetControlUI::SetDataFolder(const std::string& folder) {
    m_names->SetDataFolder(folder);
}

void CMacroSetControlUI::LoadMacroList() {
    m_names->Load();
}

int CMacroSetControlUI::MacroCount() const {
    return m_names->Count();
}

int CMacroSetControlUI::SelectedMacro() const {
    return m_names->Selected();
}

void CMacroSetControlUI::SelectMacroAt(int index) {
    m_names->SelectAt(index);
}

void CMacroSetControlUI::SelectMacro() {
    m_names->SelectionChanged();
}

std::string CMacroSetControlUI::CreateMacro() {
    return m_names->Create();
}

CMacroSetControlUI::RenameOutcome CMacroSetControlUI::RenameMacro() {
    return m_names->Rename();
}

int CMacroSetControlUI::DeleteSelectedMacro() {
    return m_names->DeleteSelected();
}

MacroResult CMacroSetControlUI::SaveMacro() {
    return m_names->Save();
}

void CMacroSetControlUI::ReloadMacro() {
    m_names->SelectionChanged();
}

MacroResult CMacroSetControlUI::ExportMacro(const QString& path) const {
    return m_names->Export(path);
}

std::string CMacroSetControlUI::ImportMacro(const QString& path, MacroResult* result) {
    return m_names->Import(path, result);
}

// ---- the events -------------------------------------------------------------------------------

bool CMacroSetControlUI::MoveSelected(int step) {
    return m_edits->MoveSelected(step);
}

bool CMacroSetControlUI::MoveSelectedToTop() {
    return m_edits->MoveSelectedToTop();
}

bool CMacroSetControlUI::MoveSelectedToBottom() {
    return m_edits->MoveSelectedToBottom();
}

bool CMacroSetControlUI::DeleteSelectedEvent() {
    return m_edits->DeleteSelectedEvent();
}

bool CMacroSetControlUI::DeleteAllEvents() {
    return m_edits->DeleteAllEvents();
}

bool CMacroSetControlUI::InsertButton(uint8_t buttonBit, bool down) {
    return m_edits->InsertButton(buttonBit, down);
}

bool CMacroSetControlUI::InsertMove(MoveDirection direction) {
    return m_edits->InsertMove(direction);
}

bool CMacroSetControlUI::InsertMenuItem(const QString& item) {
    return m_edits->InsertMenuItem(item);
}

// ---- recording --------------------------------------------------------------------------------

bool CMacroSetControlUI::FixedDelayChecked() const {
    return m_recording->FixedDelayChecked();
}

void CMacroSetControlUI::StartRecording(DelayMode mode, RecordPlacement placement) {
    m_recording->Start(mode, placement);
}

void CMacroSetControlUI::StopRecording() {
    m_recording->Stop();
    SaveMacro();
}

RecordOutcome CMacroSetControlUI::HandleInput(const InputEvent& event) {
    return m_recording->Handle(event);
}

void CMacroSetControlUI::SetRecordingState(bool recording) {
    m_recording->SetState(recording);
}

void CMacroSetControlUI::ShowInputSource(const QString& text, const QString& details) {
    m_recording->ShowInputSource(text, details);
}

QRect CMacroSetControlUI::StopButtonScreenRect() const {
    return m_recording->StopButtonScreenRect();
}

void RegisterMacroSetControl(ControlFactory& factory) {
    factory.Register(QString::fromLatin1(kMacroControlClass), [](QWidget* parent) {
        auto* panel = new CMacroSetControlUI(parent);
        return panel;
    });
}

} // namespace nk7x
