#include "editor/qt/editor_filtercommands.h"

#include <QAction>
#include <QMenu>

#include "editor/qt/acquire.h"

// Handlers arrive with the dialogs that do the work. Each one runs its dialog,
// stops when it was cancelled, then does its change inside
// `TUndoStep step(editor, undoLabel)` and commits (see undostep.h), wrapped in
// editor.RunCommand so no exception reaches the event loop.
const std::vector<TEditorMenuCommand>& EditorMenuCommands() {
    using C = TEditorMenuCommand;
    static const std::vector<C> table = {
        {C::RotateMenu, "Arbitrary...", "Arbitrary1", "Rotate", {}},
        {C::ImageMenu, "Add Border... (requires TrueColor)", "AddBorder1", "Border", {}},
        {C::ImageMenu, "3D Bevel  (requires TrueColor)", "N3DBevel1", "3D Bevel", {}},
        {C::ImageMenu, "Color Resolution...", "ColorResolution1", "Color Resolution", {}},
        {C::ImageMenu, "Resize...", "Resize1", "Resize", {}},
        {C::ImageMenu,
         "Radial Adjustment (Barrel Distortion)...",
         "RadialAdjustment1",
         "Radial Adjust",
         {}},
        {C::ColorSubmenu, "RGB...", "RGB1", "RGB", {}},
        {C::ColorSubmenu, "CMY...", "CMY1", "CMY", {}},
        {C::ColorSubmenu, "YCbCr...", "YCbCr1", "YCbCr", {}},
        {C::ColorSubmenu, "HSL...", "HSL1", "HSL", {}},
        {C::ColorSubmenu, "HSV...", "HSV1", "HSV", {}},
        {C::FiltersMenu, "Brightness, Contrast, Gamma...", "BCG1", "BCG", {}},
        {C::FiltersMenu, "Convert To Greyscale...", "ConvertToGreyscale1", "Greyscale", {}},
        {C::FiltersMenu, "Negative...", "Negative1", "Negative", {}},
        {C::FiltersMenu, "Sharpen...", "Sharpen1", "Sharpen", {}},
        {C::FiltersMenu, "Detail...", "Detail1", "Detail", {}},
        {C::FiltersMenu, "Smooth...", "Smooth1", "Smooth", {}},
        {C::FiltersMenu, "Blur...", "Blur1", "Blur", {}},
        {C::FiltersMenu, "Contour...", "Contour1", "Contour", {}},
        {C::FiltersMenu, "Red Eye Reduction...", "RedEyeReduction1", "Red Eye Reduction", {}},
        {C::EffectsGroup, "Emboss", "Emboss1", "Emboss", {}},
        {C::EffectsGroup, "Fisheye", "Fisheye1", "Fisheye", {}},
        {C::EffectsGroup, "Swirl", "Swirl1", "Swirl", {}},
        {C::EffectsGroup, "Spray Paint", "SprayPaint1", "Spray Paint", {}},
        {C::EffectsGroup, "B/W Noise", "BWNoise1", "Monochrome Noise", {}},
        {C::EffectsGroup, "Color Noise", "ColorNoise1", "Color Noise", {}},
        {C::EffectsGroup, "Mosaic", "Mosaic1", "Mosaic", {}},
        {C::EffectsGroup, "Pencil Drawing", "PencilDrawing1", "Pencil Draw", {}},
        {C::EffectsGroup, "Posterize", "Posterize1", "Posterize", {}},
    };
    return table;
}

void AddEditorFilterCommands(TfrmAcquire& editor, QMenu* rotate, QMenu* image, QMenu* filters) {
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
                color = filters->addMenu("Color");
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
            QObject::connect(a, &QAction::triggered, &editor, [&editor, h] { h(editor); });
        }
    }
}
