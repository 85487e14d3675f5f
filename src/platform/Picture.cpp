// The picture-format registry: file extensions and clipboard formats mapped to graphic classes.
#include <algorithm>
#include <cctype>

#include "Graphics.h"

namespace {

struct TRegistration {
  std::string Extension;  // lower case, without the dot; empty for clipboard registrations
  uint16_t ClipboardFormat = 0;
  std::string Description, ClassName;
  TGraphicFactory Factory;
};

// The registry of the process (a registry is module state by nature).
std::vector<TRegistration>& Registry() {
  static std::vector<TRegistration> registry;
  return registry;
}

std::string Normalized(std::string ext) {
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  const std::string& ClassName, TGraphicFactory Factory) {
  auto& reg = Registry();
  const std::string ext = Normalized(Extension);
  std::erase_if(reg, [&](const TRegistration& r) { return !r.Extension.empty() && r.Extension == ext; });
  reg.push_back({ext, 0, Description, ClassName, std::move(Factory)});
}

void TPicture::RegisterClipboardFormat(uint16_t Format, const std::string& ClassName,
                                       TGraphicFactory Factory) {
  auto& reg = Registry();
  std::erase_if(reg,
                [&](const TRegistration& r) { return r.Extension.empty() && r.ClipboardFormat == Format; });
  reg.push_back({std::string(), Format, std::string(), ClassName, std::move(Factory)});
}

void TPicture::UnregisterGraphicClass(const std::string& ClassName) {
  std::erase_if(Registry(), [&](const TRegistration& r) { return r.ClassName == ClassName; });
}

std::unique_ptr<TGraphic> TPicture::CreateForExtension(const std::string& Extension) {
  const std::string ext = Normalized(Extension);
  for (const auto& r : Registry())
    if (!r.Extension.empty() && r.Extension == ext) return r.Factory();
  return nullptr;
}

std::unique_ptr<TGraphic> TPicture::CreateForClipboardFormat(uint16_t Format) {
  for (const auto& r : Registry())
    if (r.Extension.empty() && r.ClipboardFormat == Format) return r.Factory();
  return nullptr;
}

std::vector<TPicture::TFormat> TPicture::FileFormats() {
  std::vector<TFormat> formats;
  for (const auto& r : Registry())
    if (!r.Extension.empty()) formats.push_back({r.Extension, r.Description, r.ClassName});
  return formats;
}
