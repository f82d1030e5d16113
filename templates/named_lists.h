#pragma once

#include <cstddef>

#include "templates/template_list.h"

namespace koron {

// The two template lists: the templates added to the picture, and those the right half shows.
enum class TemplateList { kPicture, kPanel };

// Everything that tells the two lists apart, in one place.
struct TemplateListInfo {
  TemplateList list;
  const char* file;       // in the working folder
  const char* box;        // object name of the window's drop-down
  bool leadingEmptyItem;  // the drop-down leads with an empty item, meaning "no template"
  int number;             // as the command line's --list names it
};

inline constexpr TemplateListInfo kTemplateLists[] = {
    {TemplateList::kPicture, kPictureListFile, "Combo3", true, 1},
    {TemplateList::kPanel, kPanelListFile, "Combo4", false, 2},
};

constexpr const TemplateListInfo& ListInfo(TemplateList list) {
  return kTemplateLists[static_cast<std::size_t>(list)];
}

}  // namespace koron
