#pragma once
// The raised-frame effect: `rings` one-pixel rings in the picture's outer
// edge, top and left lightened, bottom and right darkened.

class TPixelGraphic;

// Changes the picture in place; rings <= 0 changes nothing.
void DrawBevel(TPixelGraphic& picture, int rings);
