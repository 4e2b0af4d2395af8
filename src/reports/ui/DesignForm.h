#pragma once
// The template designer window: the page surface in a grey scroll box, the
// actions and bars that change the objects, the pop-up colour and band
// lists, a designer-wide clipboard of objects, the window's placement kept
// in the template, and the close that saves or reloads and then tells the
// document (OnEndDesign) as its very last step.

#include "foundation/ui/base/FormBase.h"
#include "reports/ReportDocument.h"
#include "reports/ui/DesignSurface.h"

#include <QHash>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QScrollArea;
class QSpinBox;
class QToolBar;
class QToolButton;
class TEditorForm;
class TGEditorForm;
class TOptForm;

// The objects copied by any designer window, with where they came from.
// The copies belong to no document; Source is forgotten when its designer
// closes.
struct TDesignClipboard {
    std::vector<std::unique_ptr<TView>> Views;
    const TDocument* Source = nullptr;
    int SourcePage = -1;
};
TDesignClipboard& DesignClipboard();

class TDesignForm : public TForm, public IReportWindow, public ReportDesign::IDesignHost {
    Q_OBJECT
public:
    explicit TDesignForm(TDocument& document, QWidget* parent = nullptr);
    ~TDesignForm() override;

    // Modal: returns after the window closed. Otherwise the window frees
    // itself after closing.
    void Execute();
    void Open();

    // IReportWindow
    void BringToFront() override;
    // IDesignHost
    TDocument* Document() override { return doc_; }
    void BarsChanged(bool releaseChecks) override;
    void ToolReverted() override;
    bool EditObject(TView& view) override;
    bool Busy() const override { return busy_ > 0; }

    ReportDesign::TPreview* Surface() const { return surface_; }
    QAction* Action(const QString& name) const { return actions_.value(name); }
    int ExitMode() const { return exitMode_; }
    void SetExitMode(int mode) { exitMode_ = mode; }
    void RefreshBars();
    void ShowPage(int index);
    // The lists' pop-up place under a button, kept inside the scroll box.
    static QPoint PopupPlace(const QRect& button, const QSize& popup, const QRect& box);

    // Bars, for tests and the screenshot.
    QToolButton* btElement;
    QToolButton* btElementDrop;
    QComboBox* cbFont;
    QComboBox* cbSize;
    QSpinBox* seFrameWidth;
    QListWidget* lbBands;
    QListWidget* lbFill;
    QListWidget* lbText;
    QToolButton* btFill;
    QToolButton* btTextColour;
    QLabel* lbStatus;
    QMenu* Popup;
    QToolBar *tbFrame, *tbFont, *tbColour, *tbAlign;

protected:
    bool FormKeyDown(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    QAction* Act(const char* name, const QString& caption, const QString& hint, const QKeySequence& key,
        std::function<void()> run);
    void BuildBars();
    void BuildPopup();
    void FullRefresh();
    void SetCaption();
    void FillBands();
    void Changed();
    QList<TView*> Selection() const;
    TView* Single() const;
    void ForSelection(const std::function<void(TView&)>& change, bool markers = false);
    void ShowList(QListWidget* list, QWidget* button);
    void HideLists();
    void SetBarEnabled(QToolBar* bar, bool on);

    // Actions.
    void DocSave();
    void DocReload();
    void DocPreview();
    void ObjUpDown(bool up);
    void ObjSelect();
    void ObjCopy();
    void ObjCut();
    void ObjPaste();
    void ObjStep(int by);
    void PgNew();
    void PgDel();
    void Options(int page);
    void Shape(int bit, QAction* button);
    void ChooseBand(int kind);
    void SelectSection();
    void NarrowSelection(bool texts);
    void PopupShowing();

    TDocument* doc_;
    ReportDesign::TPreview* surface_;
    QScrollArea* box_;
    QHash<QString, QAction*> actions_;
    QActionGroup* tools_;
    QHash<int, QAction*> toolActions_;
    int exitMode_ = 0;
    int busy_ = 0;
    bool modal_ = false;
    bool skipActivation_ = false;
    bool marker_ = false;
    bool closing_ = false;
    bool ended_ = false;
    QString caption_;
    TEditorForm* editor_ = nullptr;
    TGEditorForm* geditor_ = nullptr;
};

// Fills the engine's designer factory.
void InstallDesignWindow();
