// Interface files: YAML descriptions of objects made from the kit's templates. The loader
// checks a whole file before anything is instanced; it creates objects only through the
// object manager and never creates a widget.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "om/om.h"

struct UIloadError {
  std::string file;
  int line = 0;    // 1-based; 0 when the problem concerns the whole file
  int column = 0;  // 1-based
  std::string message;
  std::string text() const;  // "file:line:column: message"
};

// Where one key of an object stands in its file (for writing an edited value back).
struct UIsourceKey {
  bool present = false;
  size_t pos = 0;       // byte offset of the value (its anchor or tag, if any)
  int line = 0;         // 1-based
  int column = 0;       // 1-based
  bool link = false;    // "=> ..."
  bool shared = false;  // the value carries an anchor (aliases are refused)
  std::string text;     // the scalar as read (quotes and escapes undone)
};

// Where an object the files define came from: its file, its mapping (block or flow), and its
// x, y, width and height keys.
struct UIobjectSource {
  OMobj_id object;
  std::string file;
  bool flow = false;       // a { ... } mapping
  bool shared = false;     // the mapping itself is reached through an alias
  size_t bodyPos = 0;      // the mapping's mark ('{' of a flow mapping)
  size_t firstKeyPos = 0;  // the first key of a block mapping
  int indent = 0;          // the column (0-based) of a block mapping's keys
  UIsourceKey keys[4];     // x, y, width, height
};

struct UIloadResult {
  bool ok = false;
  std::vector<UIloadError> errors;  // every problem found, in file order
  std::vector<OMobj_id> objects;    // the top-level objects made, in document order
  // What the file said, for writing the objects back: the type each object was made from
  // (by object serial) and the text after "=>" of each linked property (by property serial).
  std::map<uint32_t, std::string> types;
  std::map<uint32_t, std::string> links;
  std::vector<std::string> files;       // every file read: the file itself, then its includes
  std::vector<UIobjectSource> sources;  // every object made, where it came from
  std::vector<std::pair<std::string, std::string>> texts;  // each file read: path, text
};

// The keys an object source records, in order.
extern const char* const kUIsourceKeys[4];

// Reads the file at path and, when the whole of it (includes too) is sound, makes its
// objects under parent (OMnull_obj: element 0 of the instance places) and instances them in
// one context, parents before children. On any problem nothing is made.
UIloadResult UIloadInterfaceFile(const std::string& path, OMobj_id parent = OMnull_obj);
// The same for text held in memory; `origin` names it in messages and anchors includes.
UIloadResult UIloadInterfaceText(const std::string& text, const std::string& origin,
                                 OMobj_id parent = OMnull_obj);

// Limits on what the loader accepts.
constexpr size_t kUIMaxFileBytes = 16u << 20;
constexpr int kUIMaxNesting = 64;  // objects and groups inside each other
constexpr int kUIMaxIncludeDepth = 16;
constexpr unsigned kUIMaxObjects = 1u << 20;  // objects a file (with its includes) may make
constexpr size_t kUIMaxTotalBytes = 4 * kUIMaxFileBytes;  // text of a file and its includes
