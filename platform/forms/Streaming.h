#pragma once
// Stored form descriptions as text:
//   object Name: TClass            (inherited Name: TClass in a description that inherits)
//     Property = value             integers, 'strings' ('' and #nnn), identifiers, [set, members],
//     Font.Height = -13            ( 'list' 'items' ), { hex bytes }, < item ... end >
//     object Child: TClass ... end
//   end
// Components are created by registered class name; properties go through the classes'
// property tables, extra data through DefineProperties; events bind to the methods the
// root registered; component references are resolved when the whole description is read.
#include <string>
#include <vector>

#include "platform/forms/Classes.h"

struct TObjectNode {
  bool inherited = false;
  std::string name, className;
  std::vector<std::pair<std::string, TValue>> props;
  std::vector<int> propLines;
  std::vector<TObjectNode> children;
  int line = 0;
};

// Throws EReadError "<source>:<line>: <what was expected>".
TObjectNode ParseFormText(const std::string& text, const std::string& source);

// Reads a description into an existing root (its class must be the description's class
// or one it derives from), creating the nested components owned by the root. Binds the
// root's published fields and calls Loaded on every component read.
void ReadComponentFromText(TComponent* root, const std::string& text, const std::string& source);
// Reads the embedded descriptions of the root's class and of its ancestors, ancestors
// first. False when none of them has one.
bool InitInheritedComponent(TComponent* root);
// Creates a component of the description's class (registered) and reads it.
TComponent* CreateComponentFromText(const std::string& text, const std::string& source,
                                    TComponent* owner);

// The root and everything it owns, written back as text (full values, not the differences
// from an ancestor description).
std::string WriteComponentToText(TComponent* root);
