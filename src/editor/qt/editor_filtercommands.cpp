#include "editor/qt/editor_filtercommands.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QWindow>
#include <QRadioButton>
#include <QSlider>

#include "browser/toolwindows.h"
#include "core/pixelgraphic.h"
#include "core/pixelrows.h"
#include "editor/qt/barrelform.h"
#include "editor/qt/colorrezform.h"
#include "editor/qt/editorhost.h"
#include "editor/qt/geometrydialogs.h"
#include "editor/qt/redeyeform.h"
#include "editor/undostep.h"
#include "platform/prompts.h"
#include "processing/bevel.h"
#include "processing/colorfilters.h"
#include "processing/colorres.h"
#include "processing/convfilter.h"
#include "processing/effects.h"
#include "processing/geometryops.h"
#include "processing/pgrandom.h"
#include "processing/qt/colordialogs.h"
#include "processing/qt/convdialogs.h"
#include "processing/qt/neweffects.h"
#include "processing/redeye.h"
#include "view/pgimage.h"

namespace {

// The editor's filter dialog components: made once with their default
// values, kept with the window (children of it), so each remembers the
// values of its last OK.
class TEditorFilterDialogs : public QObject {
  public:
    explicit TEditorFilterDialogs(QObject* owner) : QObject(owner) {
        setObjectName("EditorFilterDialogs");
    }
    TRGBFilterDialog RGBFilterDialog1;
    TCMYFilterDialog CMYFilterDialog1;
    TYCbCrFilterDialog YCbCrFilterDialog1;
    THLSFilterDialog HLSFilterDialog1;
    THSVFilterDialog HSVFilterDialog1;
    TBCGFilterDialog BCGFilterDialog1;
    TGrayScaleFilterDialog GrayScaleFilterDialog1;
    TNegativeFilterDialog NegativeFilterDialog1;
    TSharpenFilterDialog SharpenFilterDialog1;
    TDetailFilterDialog DetailFilterDialog1;
    TSmoothFilterDialog SmoothFilterDialog1;
    TBlurFilterDialog BlurFilterDialog1;
    TContourFilterDialog ContourFilterDialog1;
};

TEditorFilterDialogs& Dialogs(TEditorCommandHost& e) {
    auto* d = e.HostWindow()->findChild<TEditorFilterDialogs*>("EditorFilterDialogs", Qt::FindDirectChildrenOnly);
    return d ? *d : *new TEditorFilterDialogs(e.HostWindow());
}

using TDialogOf = TPreviewFilterDialog& (*)(TEditorFilterDialogs&);
using TConvDialogOf = TConvFilterDialog& (*)(TEditorFilterDialogs&);

// Colour filters: the dialog with its preview of the picture, then the
// filter in place (palette pictures change their palette only).
std::function<void(TEditorCommandHost&)> ColourFilter(TDialogOf dialog, const char* label) {
    return [dialog, label](TEditorCommandHost& e) {
        e.RunCommand([&] {
            if (e.Document().Empty()) return;
            TPreviewFilterDialog& d = dialog(Dialogs(e));
            d.SetOwner(e.HostWindow());
            if (!d.Execute(e.Document().Picture())) return;
            TUndoStep step(e.Document(), label);
            TPixelGraphic* pg = e.Document().PictureForChange();
            pg->ApplyFilter(d.Filter(), *pg);
            step.Commit();
        });
    };
}

// Runs `filter` from the picture into a new 24-bit picture with the
// progress gauge, and hands the result to the view.
void FilterIntoNew(TEditorCommandHost& e, TPGFilter& filter) {
    auto out = std::make_unique<TPixelGraphic>();
    out->SetFormat(0, 0, pg24Bit);
    out->OnProgressStart = [&e](TObject*) { e.ProgressStart(); };
    out->OnProgress = [&e](TObject*, int step, int max, bool&) { e.Progress(step, max); };
    out->OnProgressEnd = [&e](TObject*) { e.ProgressEnd(); };
    out->ApplyFilter(filter, *e.Document().Picture());
    out->OnProgressStart = nullptr;
    out->OnProgress = nullptr;
    out->OnProgressEnd = nullptr;
    e.Document().SetPicture(std::move(out));
}

std::function<void(TEditorCommandHost&)> Convolution(TConvDialogOf dialog, const char* label) {
    return [dialog, label](TEditorCommandHost& e) {
        e.RunCommand([&] {
            if (e.Document().Empty()) return;
            TConvFilterDialog& d = dialog(Dialogs(e));
            d.SetOwner(e.HostWindow());
            if (!d.Execute()) return;
            TUndoStep step(e.Document(), label);
            FilterIntoNew(e, d.Filter());
            step.Commit();
        });
    };
}

// The effects without a dialog: two full-size 24-bit buffers, the effect,
// the second buffer back as the picture.
std::function<void(TEditorCommandHost&)> Effect(const char* label,
                                         std::function<void(TFastBMP&, TFastBMP&)> run) {
    return [label, run](TEditorCommandHost& e) {
        e.RunCommand([&] {
            if (e.Document().Empty()) return;
            TUndoStep step(e.Document(), label);
            TFastBMP first(*e.Document().Picture());
            TFastBMP second(first.Width(), first.Height());
            second.CopyBitsFrom(first);
            run(first, second);
            auto out = std::make_unique<TPixelGraphic>();
            second.AssignTo(*out);
            e.Document().SetPicture(std::move(out));
            step.Commit();
        });
    };
}

// A dialog the program made once without a parent opens above the editor
// that uses it now: the editor becomes its window manager parent.
template <class D> D& OpenedFrom(D& dialog, TEditorCommandHost& e) {
    QWidget* window = e.HostWindow();
    if (dialog.parentWidget() != window) {
        (void)dialog.winId();
        (void)window->winId();
        if (QWindow* w = dialog.windowHandle()) w->setTransientParent(window->windowHandle());
    }
    return dialog;
}

// The program's effect chooser, or the editor's own one where no tool
// windows were made (tests).
TfrmNewEFX& EffectChooser(TEditorCommandHost& e) {
    if (TToolWindows* tools = ToolWindows())
        if (auto* w = qobject_cast<TfrmNewEFX*>(tools->Find("TfrmNewEFX")))
            return OpenedFrom(*w, e);
    auto* own = e.HostWindow()->findChild<TfrmNewEFX*>("EditorEffectChooser", Qt::FindDirectChildrenOnly);
    if (!own) {
        own = new TfrmNewEFX(e.HostWindow());
        own->setObjectName("EditorEffectChooser");
    }
    return *own;
}

// Spray Paint, B/W Noise, Color Noise, Mosaic: the strength is chosen in
// the chooser; on OK the effect runs on the whole picture at that strength.
std::function<void(TEditorCommandHost&)> ChosenEffect(int tag) {
    return [tag](TEditorCommandHost& e) {
        if (e.Document().Empty()) return;
        TfrmNewEFX& chooser = EffectChooser(e);
        chooser.SetTag(tag);
        chooser.Activate(*e.Document().Picture());
        if (ExecDialog(&chooser) != QDialog::Accepted) return;
        const int value = chooser.TrackBar1->value();
        e.RunCommand([&] {
            TUndoStep step(e.Document(), ChooserEffectName(tag));
            TFastBMP first(*e.Document().Picture());
            TFastBMP second(first.Width(), first.Height());
            second.CopyBitsFrom(first);
            ChooserEffect(tag, first, second, value, ProgramRandom());
            auto out = std::make_unique<TPixelGraphic>();
            second.AssignTo(*out);
            e.Document().SetPicture(std::move(out));
            step.Commit();
        });
    };
}

// A dialog made once: the program's tool window, or the editor's own one
// where no tool windows were made (tests). Either way it keeps its values.
template <class D> D& KeptDialog(TEditorCommandHost& e, const char* className) {
    if (TToolWindows* tools = ToolWindows())
        if (auto* w = qobject_cast<D*>(tools->Find(className))) return OpenedFrom(*w, e);
    const QString name = QString("Editor") + className;
    auto* own = e.HostWindow()->findChild<D*>(name, Qt::FindDirectChildrenOnly);
    if (!own) {
        own = new D(e.HostWindow());
        own->setObjectName(name);
    }
    return *own;
}

// A number field read before anything changes: a bad one is said and the
// command stops with picture and undo as they were.
bool ReadInteger(TEditorCommandHost& e, const QString& text, int64_t& value) {
    QString error;
    if (DialogInteger(text, value, error)) return true;
    ShowMessage(error, e.HostWindow());
    return false;
}

// Runs `make` on the picture inside an undo step and hands the result over.
void ReplacePicture(TEditorCommandHost& e, const char* label,
                    const std::function<std::unique_ptr<TPixelGraphic>(TPixelGraphic&)>& make) {
    e.RunCommand([&] {
        TUndoStep step(e.Document(), label);
        std::unique_ptr<TPixelGraphic> out = make(*e.Document().Picture());
        if (!out) return;
        e.Document().SetPicture(std::move(out));
        step.Commit();
    });
}

void RotateArbitrary(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    TfRotate& d = KeptDialog<TfRotate>(e, "TfRotate");
    if (ExecDialog(&d) != QDialog::Accepted) return;
    int64_t angle = 0;
    if (!ReadInteger(e, d.eAngle->text(), angle)) return;
    const long double a = DialogRotateAngle(angle, d.rbCounterClockwise->isChecked());
    ReplacePicture(e, "Rotate", [a](TPixelGraphic& pg) { return RotatePicture(pg, a); });
}

void AddBorder(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    TfrmBorder& d = KeptDialog<TfrmBorder>(e, "TfrmBorder");
    if (ExecDialog(&d) != QDialog::Accepted) return;
    int64_t width = 0;
    if (!ReadInteger(e, d.eWidth->text(), width)) return;
    const QColor c = d.Color();
    const TRGB color = RGB(c.red(), c.green(), c.blue());
    const bool oval = d.rbEllipse->isChecked();
    ReplacePicture(e, "Border", [&](TPixelGraphic& pg) {
        return BorderPicture(pg, int(std::min<int64_t>(width, INT32_MAX)), color, oval);
    });
}

void Resize(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    TfrmResize& d = KeptDialog<TfrmResize>(e, "TfrmResize");
    const TPixelGraphic& pg = *e.Document().Picture();
    d.SetOldSize(pg.GetWidth(), pg.GetHeight());
    if (ExecDialog(&d) != QDialog::Accepted) return;
    int64_t w = 0, h = 0;
    if (!ReadInteger(e, d.eNewWidth->text(), w) || !ReadInteger(e, d.eNewHeight->text(), h)) return;
    ReplacePicture(e, "Resize", [w, h](TPixelGraphic& p) { return ResizePicture(p, w, h); });
}

void ColorResolution(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    TfrmColorRez& d = KeptDialog<TfrmColorRez>(e, "TfrmColorRez");
    if (ExecDialog(&d) != QDialog::Accepted) return;
    const TColorRezOptions options = d.Options();
    // A failure says why; the picture and the undo entry stay as they were.
    ReplacePicture(e, "Color Resolution",
                   [&](TPixelGraphic& pg) { return ColorResolutionPicture(pg, options); });
}

void RedEyeReduction(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    const TPixelGraphic& source = *e.Document().Picture();
    // A selection may overhang the picture: only its inside is worked on.
    const QRect sel =
        e.View()->SelectionRect().intersected(QRect(0, 0, source.GetWidth(), source.GetHeight()));
    if (!e.View()->Selection() || sel.isEmpty()) {
        ShowMessage("Select an eye area first", e.HostWindow());
        return;
    }
    const TPGRect rect{sel.x(), sel.y(), sel.width(), sel.height()};
    TfrmRedEyeReduction& d = KeptDialog<TfrmRedEyeReduction>(e, "TfrmRedEyeReduction");
    d.SetRegion(RedEyeRegion(source, rect));
    // Cancel keeps the earlier undo entry: the step starts only on OK.
    if (ExecDialog(&d) != QDialog::Accepted) return;
    const TRedEyeLimits limits = d.Limits();
    ReplacePicture(e, "Red Eye Reduction",
                   [&](TPixelGraphic& pg) { return RedEyePicture(pg, rect, limits); });
}

void RadialAdjustment(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    TfrmBarrel& d = KeptDialog<TfrmBarrel>(e, "TfrmBarrel");
    d.SetOriginal(PGSnapshot(*e.Document().Picture()));
    if (ExecDialog(&d) != QDialog::Accepted) return;
    const TPixelGraphic* adjusted = d.Adjusted();
    if (!adjusted) {
        ShowMessage("You did not Apply a radial adjustment. Reopen and click \"Apply\" before "
                    "clicking \"OK\"",
                    e.HostWindow());
        return;
    }
    ReplacePicture(e, "Radial Adjust", [&](TPixelGraphic&) { return PGSnapshot(*adjusted); });
    d.ClearAdjusted();
}

void Posterize(TEditorCommandHost& e) {
    if (e.Document().Empty()) return;
    ReplacePicture(e, "Posterize", [](TPixelGraphic& pg) { return PosterizePicture(pg); });
}

void Bevel3D(TEditorCommandHost& e) {
    e.RunCommand([&] {
        if (e.Document().Empty()) return;
        TUndoStep step(e.Document(), "3D Bevel");
        const TPixelGraphic& pg = *e.Document().Picture();
        auto out = std::make_unique<TPixelGraphic>();
        out->SetFormat(pg.GetWidth(), pg.GetHeight(), pg24Bit);
        out->CopyFrom(const_cast<TPixelGraphic&>(pg));
        // 3 rings per 100 pixels of width, Trunc(0.03 x width) in extended.
        DrawBevel(*out, int(0.03L * pg.GetWidth()));
        e.Document().SetPicture(std::move(out));
        step.Commit();
    });
}

void PencilDrawing(TEditorCommandHost& e) {
    e.RunCommand([&] {
        if (e.Document().Empty()) return;
        TUndoStep step(e.Document(), "Pencil Draw");
        TConvFilter contour;
        contour.MakeContour(dsRect, true, 792, 1.16L, true);
        FilterIntoNew(e, contour);
        TGrayScaleFilter grey;
        grey.SetRGBWeighting(true);
        TPixelGraphic* pg = e.Document().PictureForChange();
        pg->ApplyFilter(grey, *pg);
        step.Commit();
    });
}

} // namespace

// Each handler runs its dialog, stops when it was cancelled, then does its
// change inside `TUndoStep step(editor, undoLabel)` and commits (see
// undostep.h), wrapped in editor.RunCommand so no exception reaches the event
// loop. Entries without a handler wait for their dialogs.
const std::vector<TEditorMenuCommand>& EditorMenuCommands() {
    using C = TEditorMenuCommand;
    static const std::vector<C> table = {
        {C::RotateMenu, "&Arbitrary...", "Arbitrary1", "Rotate", RotateArbitrary},
        {C::ImageMenu, "Add &Border... (requires TrueColor)", "AddBorder1", "Border", AddBorder},
        {C::ImageMenu, "3D Be&vel  (requires TrueColor)", "N3DBevel1", "3D Bevel", Bevel3D},
        {C::ImageMenu, "Color Re&solution...", "ColorResolution1", "Color Resolution",
         ColorResolution},
        {C::ImageMenu, "Resi&ze...", "Resize1", "Resize", Resize},
        {C::ImageMenu, "Ra&dial Adjustment (Barrel Distortion)...", "RadialAdjustment1",
         "Radial Adjust", RadialAdjustment},
        {C::ColorSubmenu, "&RGB...", "RGB1", "RGB",
         ColourFilter(
             [](TEditorFilterDialogs& d) -> TPreviewFilterDialog& { return d.RGBFilterDialog1; },
             "RGB")},
        {C::ColorSubmenu, "&CMY...", "CMY1", "CMY",
         ColourFilter(
             [](TEditorFilterDialogs& d) -> TPreviewFilterDialog& { return d.CMYFilterDialog1; },
             "CMY")},
        {C::ColorSubmenu, "&YCbCr...", "YCbCr1", "YCbCr",
         ColourFilter(
             [](TEditorFilterDialogs& d) -> TPreviewFilterDialog& { return d.YCbCrFilterDialog1; },
             "YCbCr")},
        {C::ColorSubmenu, "HS&L...", "HSL1", "HSL",
         ColourFilter(
             [](TEditorFilterDialogs& d) -> TPreviewFilterDialog& { return d.HLSFilterDialog1; },
             "HSL")},
        {C::ColorSubmenu, "HS&V...", "HSV1", "HSV",
         ColourFilter(
             [](TEditorFilterDialogs& d) -> TPreviewFilterDialog& { return d.HSVFilterDialog1; },
             "HSV")},
        {C::FiltersMenu, "&Brightness, Contrast, Gamma...", "BCG1", "BCG",
         ColourFilter(
             [](TEditorFilterDialogs& d) -> TPreviewFilterDialog& { return d.BCGFilterDialog1; },
             "BCG")},
        {C::FiltersMenu, "Convert To &Greyscale...", "ConvertToGreyscale1", "Greyscale",
         ColourFilter([](TEditorFilterDialogs& d)
                          -> TPreviewFilterDialog& { return d.GrayScaleFilterDialog1; },
                      "Greyscale")},
        {C::FiltersMenu, "&Negative...", "Negative1", "Negative",
         ColourFilter([](TEditorFilterDialogs& d)
                          -> TPreviewFilterDialog& { return d.NegativeFilterDialog1; },
                      "Negative")},
        {C::FiltersMenu, "S&harpen...", "Sharpen1", "Sharpen",
         Convolution(
             [](TEditorFilterDialogs& d) -> TConvFilterDialog& { return d.SharpenFilterDialog1; },
             "Sharpen")},
        {C::FiltersMenu, "&Detail...", "Detail1", "Detail",
         Convolution(
             [](TEditorFilterDialogs& d) -> TConvFilterDialog& { return d.DetailFilterDialog1; },
             "Detail")},
        {C::FiltersMenu, "S&mooth...", "Smooth1", "Smooth",
         Convolution(
             [](TEditorFilterDialogs& d) -> TConvFilterDialog& { return d.SmoothFilterDialog1; },
             "Smooth")},
        {C::FiltersMenu, "B&lur...", "Blur1", "Blur",
         Convolution(
             [](TEditorFilterDialogs& d) -> TConvFilterDialog& { return d.BlurFilterDialog1; },
             "Blur")},
        {C::FiltersMenu, "Con&tour...", "Contour1", "Contour",
         Convolution(
             [](TEditorFilterDialogs& d) -> TConvFilterDialog& { return d.ContourFilterDialog1; },
             "Contour")},
        {C::FiltersMenu, "&Red Eye Reduction...", "RedEyeReduction1", "Red Eye Reduction",
         RedEyeReduction},
        {C::EffectsGroup, "&Emboss", "Emboss1", "Emboss",
         Effect("Emboss", [](TFastBMP&, TFastBMP& second) { FastEmboss(second); })},
        {C::EffectsGroup, "&Fisheye", "Fisheye1", "Fisheye",
         Effect("Fisheye",
                [](TFastBMP& first, TFastBMP& second) { FastFisheye(first, second, 1.0f); })},
        {C::EffectsGroup, "S&wirl", "Swirl1", "Swirl",
         Effect("Swirl",
                [](TFastBMP& first, TFastBMP& second) { FastSwirl(first, second, 100.0f); })},
        {C::EffectsGroup, "Spra&y Paint", "SprayPaint1", "Spray Paint", ChosenEffect(1)},
        {C::EffectsGroup, "B/W N&oise", "BWNoise1", "Monochrome Noise", ChosenEffect(2)},
        {C::EffectsGroup, "Color No&ise", "ColorNoise1", "Color Noise", ChosenEffect(3)},
        {C::EffectsGroup, "Mos&aic", "Mosaic1", "Mosaic", ChosenEffect(4)},
        {C::EffectsGroup, "&Pencil Drawing", "PencilDrawing1", "Pencil Draw", PencilDrawing},
        {C::EffectsGroup, "Posteri&ze", "Posterize1", "Posterize", Posterize},
    };
    return table;
}

void AddEditorFilterCommands(TEditorCommandHost& editor, QMenu* rotate, QMenu* image, QMenu* filters) {
    QMenu* color = nullptr;
    bool effectsSeparated = false;
    for (const TEditorMenuCommand& c : EditorMenuCommands()) {
        QMenu* menu = nullptr;
        switch (c.where) {
        case TEditorMenuCommand::RotateMenu:
            menu = rotate;
            break;
        case TEditorMenuCommand::ImageMenu:
            menu = image;
            break;
        case TEditorMenuCommand::ColorSubmenu:
            if (!color) {
                color = filters->addMenu("&Color");
                color->setObjectName("Color1");
            }
            menu = color;
            break;
        case TEditorMenuCommand::FiltersMenu:
            menu = filters;
            break;
        case TEditorMenuCommand::EffectsGroup:
            if (!effectsSeparated) filters->addSeparator();
            effectsSeparated = true;
            menu = filters;
            break;
        }
        QAction* a = menu->addAction(c.caption);
        a->setObjectName(c.objectName);
        a->setEnabled(bool(c.handler));
        if (c.handler) {
            auto h = c.handler;
            QObject::connect(a, &QAction::triggered, editor.HostWindow(), [&editor, h] { h(editor); });
        }
    }
}
