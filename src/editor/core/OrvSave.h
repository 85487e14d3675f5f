// Saving the edit image beyond the designed reduction: transparency, exact colours and the save profiles, and
// the colour budget that tells what a save will do with the colours.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Graphics.h"

class TOrvDatas;

enum class TSaveProfile { Standard, Rpg2000 };

struct TSaveProfileInfo {
  TSaveProfile Profile;
  const char* Name;         // for tilora-tool --profile and the preferences
  const char* DisplayName;  // the save dialog's choice
  const char* Description;  // what the profile writes, for a tool tip or the tool's help
};
// The profiles, "Standard" first.
std::span<const TSaveProfileInfo> SaveProfiles();
// The profile called Name (as TSaveProfileInfo::Name), or nullptr.
const TSaveProfileInfo* FindSaveProfile(const std::string& Name);
const TSaveProfileInfo& SaveProfileInfo(TSaveProfile Profile);

// The size of the ChipSet sheets RPG Maker 2000/2003 read.
inline constexpr int32_t Rpg2000ChipSetWidth = 480;
inline constexpr int32_t Rpg2000ChipSetHeight = 256;

struct TSaveOptions {
  TSaveProfile Profile = TSaveProfile::Standard;
  // "Standard" without transparency: reduce to 8 or 4 bits only with the image's own colours (no merging);
  // more colours than 8 bits hold keep the true-colour form.
  bool ExactColors = false;
  // "RPG Maker 2000/2003" for a sheet without transparent pixels: the colour that becomes palette index 0
  // (0x00BBGGRR); -1 takes the top-left pixel's colour.
  TColor KeyColor = -1;
  // PNG: a tIME chunk with the time of the save, as the designed save writes. Without it two saves of one
  // sheet give the same bytes.
  bool TimeStamp = true;
};

// What a save that succeeded has to tell: warnings that did not stop it.
struct TSaveResult {
  std::vector<std::string> Warnings;
  // The key colour the save wrote at palette index 0 (the "RPG Maker 2000/2003" profile), 0x00BBGGRR.
  std::optional<TColor> KeyColor;
};

// The distinct colours of a picture and the number of each pixel's colour. Keys are B | G << 8 | R << 16 |
// alpha << 24 (alpha 255 for a picture without a plane), in order of first appearance, row by row from the
// top; Indices is an 8-bit image of the picture's size holding each pixel's key number.
struct TExactColors {
  std::vector<uint32_t> Keys;
  std::shared_ptr<TBitmapImage> Indices;
};
// The exact colours of Image (any format) with the plane Alpha (or none), or nothing when there are more than
// MaxColors (at most 256).
std::optional<TExactColors> FindExactColors(const TBitmap& Image, const TBitmap* Alpha, size_t MaxColors);

// The colour budget of the edit image as the status bar shows it: the colours counted, the bits per pixel a
// PNG save with Options writes, and when the designed reduction merges colours, how many are left. A picture
// with transparent pixels counts its colour + alpha values; the RPG Maker 2000/2003 profile counts the
// palette it writes (the visible pixels' colours, and the key colour for the transparent ones).
struct TColorBudget {
  int64_t Colors = 0;
  int Bits = 0;
  int64_t Kept = 0;  // below Colors when the designed reduction merges colours
  bool operator==(const TColorBudget&) const = default;
};
// Nothing for an empty edit image.
std::optional<TColorBudget> ColorBudgetOf(const TOrvDatas& Document, const TSaveOptions& Options);
// The budget in the program's own words, "256色 → 8ビット (32色に統合)"; empty for none.
std::string ColorBudgetText(const std::optional<TColorBudget>& Budget);
std::string ColorBudgetText(const TOrvDatas& Document, const TSaveOptions& Options);

// The facts of a picture that its colour budget is made of, however they are counted (from the pixels, or
// from a tally kept up to date by the edits).
struct TDesignedReduction {
  int Bits = 0;        // bits per pixel the designed reduction leaves
  int64_t Colors = 0;  // distinct colours left
};
class TColorBudgetFacts {
 public:
  virtual ~TColorBudgetFacts() = default;
  // Whether a pixel is not fully opaque.
  virtual bool HasTransparentPixel() const = 0;
  // Distinct 24-bit colours, distinct colour + alpha values, and distinct colours of the pixels that are not
  // fully transparent.
  virtual int64_t Colors() const = 0;
  virtual int64_t ColorAlphaValues() const = 0;
  virtual int64_t VisibleColors() const = 0;
  // What the designed reduction (TOrvDatas::ReduceForSave) makes of an opaque picture.
  virtual TDesignedReduction DesignedReduction() const = 0;
};
// The budget of a non-empty picture of these facts.
TColorBudget ColorBudgetOf(const TColorBudgetFacts& Facts, const TSaveOptions& Options);
