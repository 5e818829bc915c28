// Writing the layout editor's edits back into the interface files: only the x, y, width and
// height the editor changed, each scalar replaced where it stands (or the key added to its
// object), every other byte of the file unchanged.
#pragma once

#include <string>
#include <vector>

#include "interface_file.h"

// One change of a file's text: [pos, pos + length) becomes text.
struct UIfileEdit {
  size_t pos = 0;
  size_t length = 0;
  std::string text;
};

// The text with the edits applied (positions are those of the original text; edits at the
// same position keep their order).
std::string UIapplyFileEdits(const std::string& text, const std::vector<UIfileEdit>& edits);

// Plans writing `value` into key k (0..3: x y width height) of the object src describes, in
// text (the file as loaded). Adds nothing when the file already holds that number. false with
// *note ("file:line:column: x is a link; not saved" and the like) when the value may not or
// cannot be written.
bool UIplanKeyEdit(const std::string& text, const UIobjectSource& src, int k, int value,
                   std::vector<UIfileEdit>* edits, std::string* note);

// Writes text to the file at path (the file a symbolic link names) through a temporary file
// beside it and a rename, keeping its mode. Refuses a file nobody may write. false with *why.
bool UIreplaceFile(const std::string& path, const std::string& text, std::string* why);

// Saves the editor's net edits (UIlayoutNetEdits) into the files a load read. Keeps, per
// file, the text as loaded (the marks point into it) and as last written.
class UIlayoutSaver {
 public:
  explicit UIlayoutSaver(const UIloadResult& loaded);
  // Writes every file whose text the edits change: a temporary file beside it (the real file
  // a symbolic link names), then a rename. Refuses a file that changed on disk since it was
  // loaded or last saved, or that cannot be written. What was not saved, and why, goes into
  // *notes, one a line. Returns 0 when everything that could be saved was, 1 when a file was
  // refused (the edits stay, for another try).
  int save(std::string* notes);
  // True when a save would change some file.
  bool dirty();

 private:
  struct File {
    std::string path, original, current;
  };
  // The new text of each file; notes for what cannot be saved.
  std::vector<std::string> plan(std::string* notes);

  std::vector<UIobjectSource> sources_;
  std::vector<File> files_;
};
