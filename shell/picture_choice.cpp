#include <algorithm>

#include "shell/application.h"
#include "toolkit/platform_codes.h"

namespace puzzle {

namespace {

constexpr uint32_t kExclamation = MB_OK | MB_ICONEXCLAMATION;

OpenFileRequest PictureFileRequest() {
  OpenFileRequest request;
  request.filters = {
      {"Supported Files (*.bmp,*.gif,*.jpg,*.png,*.tga,*.tif,*.wmf)", "*.bmp;*.gif;*.jpg;*.png;*.tga;*.tif;*.wmf"},
      {"Bitmap (*.bmp)", "*.bmp"},
      {"CompuServe GIF (*.gif)", "*.gif"},
      {"JPEG (*.jpg)", "*.jpg"},
      {"PNG(*.png)", "*.png"},
      {"Targa (*.tga)", "*.tga"},
      {"TIFF (*.tif)", "*.tif"},
      {"Windows Metafile (*.wmf)", "*.wmf"},
  };
  request.filterIndex = 1;
  request.fileMustExist = true;
  return request;
}

}  // namespace

void Application::DefaultPictureStep() {
  if (!gamePanel->ChangePicture(PictureName::Resource(IDB_PICTURE))) {
    ShowMessage("Cannot change picture.", "Change Picture Error", kExclamation);
  }
  ResizeClient(gamePanel->GetWidth(), gamePanel->GetHeight());
  host.InvalidateClient(true);
  host.CheckMenuRadioItem(ID_OPTIONS_DEFAULT_PICTURE, ID_OPTIONS_CUSTOM_PICTURE, ID_OPTIONS_DEFAULT_PICTURE);
  defaultPicture = true;
}

bool Application::ChooseCustomPicture() {
  const auto chosen = host.GetOpenFileName(PictureFileRequest());
  if (!chosen || chosen->empty() || chosen->find('\0') != std::string::npos) return false;
  // A path that doesn't fit the path buffer could not be stored whole: said, not ignored.
  // Where the chooser gives a bare name (a browser's), only a shorter name helps.
  if (chosen->size() >= picturePath.size()) {
    const bool nameOnly = chosen->find_first_of("/\\") == std::string::npos;
    ShowMessage(nameOnly ? "Cannot change picture.\nIts name is longer than 255 bytes: rename the file and choose it "
                           "again."
                         : "Cannot change picture.\nIts path is longer than 255 bytes: move the file to a shorter "
                           "path and choose it again.",
                "Change Picture Error", kExclamation);
    return false;
  }
  // Too few pixels for every grid the game offers: refused before it replaces anything.
  if (const auto size = pictures_.files->Probe(chosen->c_str());
      size && !PictureIsLargeEnough(size->width, size->height)) {
    std::string reason(TooSmallReason(*pictures_.files, chosen->c_str()));
    reason[0] = static_cast<char>(reason[0] - 'a' + 'A');
    ShowMessage("Cannot change picture.\n" + reason + ".", "Change Picture Error", kExclamation);
    return false;
  }
  if (!gamePanel->ChangePicture(PictureName::File(chosen->c_str()))) {
    ShowMessage(
        "Cannot change picture.\nMake sure that the file is in a supported file format (BMP, GIF, JPG, PNG, TGA, "
        "TIF, WMF).",
        "Change Picture Error", kExclamation);
    // The panel reset the game all the same: the board goes home on the screen too, not at
    // the next input.
    host.InvalidateClient(false);
    return false;
  }
  std::fill(picturePath.begin(), picturePath.end(), '\0');
  std::copy(chosen->begin(), chosen->end(), picturePath.begin());
  ResizeClient(gamePanel->GetWidth(), gamePanel->GetHeight());
  host.InvalidateClient(true);
  defaultPicture = false;
  return true;
}

}  // namespace puzzle
