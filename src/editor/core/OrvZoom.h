// The panes enlarged: a pane shows its picture at a whole number of device pixels per picture pixel (nearest
// neighbour), with the chip grid and the hatched selection one device pixel wide where the unzoomed drawing
// (OrvPane.h) puts them: the grid on the last device column and row of every whole chip, the outline on the
// outer device pixels of the selection, the hatch's 8-pixel pattern counted in device pixels. At one device
// pixel per picture pixel the result is the unzoomed drawing exactly. Transparent pixels show the
// checkerboard (in picture pixels, as unzoomed), grid and hatch lie on top.
//
// Rendering works on any device rectangle of the pane and costs in proportion to it, never to the picture,
// so a window paints only what is exposed and a change of one chip repaints only that chip's rectangle.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "Graphics.h"

inline constexpr int32_t MinZoom = 1;
inline constexpr int32_t MaxZoom = 16;

// The zoom Steps steps up (positive) or down (negative) from Zoom along 1, 2, 3, 4, 6, 8, 12, 16, held at
// MinZoom..MaxZoom. A zoom between two steps goes to the next step in the direction asked.
int32_t StepZoom(int32_t Zoom, int Steps);

// Device pixels per picture pixel for a zoom on a screen with DevicePixelRatio device pixels per view unit:
// Zoom x ratio rounded to a whole number, at least 1, so that every picture pixel is a square of whole device
// pixels and stays crisp.
int32_t DeviceScale(int32_t Zoom, double DevicePixelRatio);

// Where a pane's picture lies on the screen: Scale device pixels per picture pixel, Ratio device pixels per
// view unit (the positions a window system reports). Results beyond the 32-bit range are held at its limits.
struct TPaneGeometry {
  int32_t Scale = 1;
  double Ratio = 1.0;

  // The picture pixel under the view position (X, Y): the device position X x Ratio divided by Scale,
  // rounded down (so -0.5 is pixel -1). Device positions within a millionth of a whole pixel count as that
  // pixel, as the window system divided them from one.
  TPoint ViewToImage(double X, double Y) const;
  // The same along one axis, without rounding: the picture position in picture pixels, and back.
  double ViewToImageCoord(double V) const { return V * Ratio / Scale; }
  double ImageToViewCoord(double P) const { return P * Scale / Ratio; }
  // The device rectangle of a picture rectangle.
  TRect ImageToDevice(const TRect& R) const;
  // The device pixels a view rectangle touches, and the smallest view rectangle covering a device one.
  TRect ViewToDevice(const TRect& R) const;
  TRect DeviceToView(const TRect& R) const;
  // The view units a picture of Length pixels takes (rounded up).
  int64_t ViewLength(int64_t Length) const;
};

// The grid's colour. Automatic draws each grid pixel black over a light pixel and white over a dark one
// (luma below 128), so that the grid shows on dark and light chips and is the black line of the unzoomed
// drawing on light pictures; otherwise every grid pixel is Color.
struct TGridColor {
  bool Automatic = true;
  TColor Color = clBlack;
  bool operator==(const TGridColor&) const = default;
};

// A block of device pixels of a pane: 32-bit words 0xFFRRGGBB, Area.Height() rows of Stride words (Stride at
// least Area.Width()), holding the pane's device pixels Area.
struct TPaneRaster {
  std::span<uint32_t> Pixels;
  int64_t Stride = 0;
  TRect Area;
  int32_t Scale = 1;  // device pixels per picture pixel
  // The first word of device row Y (Area.Top <= Y < Area.Bottom), which holds device column Area.Left.
  uint32_t* Row(int32_t Y) const { return Pixels.data() + (Y - Area.Top) * Stride; }
};

struct TPaneContent;

// Something drawn over a pane after its grid and selection (marks on chips, for example). Draw paints the
// raster's device pixels; Raster.Scale maps the picture to them.
class TPaneOverlay {
 public:
  virtual ~TPaneOverlay() = default;
  virtual void Draw(const TPaneContent& Pane, const TPaneRaster& Raster) const = 0;
};

// What a pane shows. The pictures are the document's own and are read at every rendering, so they must stay
// alive as long as a window shows them.
struct TPaneContent {
  const TBitmap* Image = nullptr;  // none: the pane is empty
  const TBitmap* Alpha = nullptr;  // the picture's alpha plane (AlphaPlane.h); none or empty: opaque
  int32_t ChipWidth = 0;           // below 1: no grid
  int32_t ChipHeight = 0;
  std::optional<TRect> Selection;  // hatched, in picture pixels, corners in any order
  TGridColor Grid;
  std::vector<std::shared_ptr<const TPaneOverlay>> Overlays;
  bool operator==(const TPaneContent&) const = default;
};

// The pane of Image with its alpha plane, chip size, selection and grid colour, without overlays.
TPaneContent PaneOf(const TBitmap* Image, const TBitmap* Alpha, int32_t ChipWidth, int32_t ChipHeight,
                    std::optional<TRect> Selection = std::nullopt, TGridColor Grid = {});

// Marks on whole chips of a pane, over its grid and selection at every zoom: each marked chip is tinted with
// ChipMarkColor and outlined in it one device pixel wide on its outer device pixels, so that the chips a view
// points out (copies of another chip) stand out on light and dark sheets alike.
inline constexpr TColor ChipMarkColor = 0x8000FF;  // RGB(255, 0, 128)
// What a device pixel (0xFFRRGGBB) inside a marked chip shows: ChipMarkTint / 256 of the mark colour over it.
inline constexpr uint32_t ChipMarkTint = 64;
uint32_t MarkedPixel(uint32_t Under);

class TChipMarks : public TPaneOverlay {
 public:
  // The marked chips of a sheet Columns chips wide, in reading order (Row * Columns + Column).
  int32_t Columns = 0;
  int32_t Rows = 0;
  std::vector<bool> Marked;
  bool IsMarked(int32_t Column, int32_t Row) const {
    return Column >= 0 && Row >= 0 && Column < Columns && Row < Rows &&
           Marked[static_cast<size_t>(Row) * static_cast<size_t>(Columns) + static_cast<size_t>(Column)];
  }
  // Draws the marks of the chips that meet the raster, in time that follows the raster, not the sheet.
  void Draw(const TPaneContent& Pane, const TPaneRaster& Raster) const override;
};

// Renders Raster.Area of the pane at Raster.Scale. Device pixels outside the picture get Background.
// Opaque pictures draw grid, outline and hatch in the colours the unzoomed drawing gives them on a copy of
// the picture (an indexed picture: the nearest palette entry; 15 and 16 bits: the colour those formats keep);
// pictures with an alpha plane show exact colours. A raster too small for its area raises EInvalidGraphic
// "Invalid pane raster".
void RenderPane(const TPaneContent& Pane, const TPaneRaster& Raster, TColor Background = 0xF0F0F0);
