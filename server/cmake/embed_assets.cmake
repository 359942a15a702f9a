# Writes the dashboard's files as string constants of one C++ source file.
# Each file becomes raw-string pieces below 16 KiB, the length every compiler takes.
set(pieces "")
foreach(name index.html app.css app.js)
  file(READ ${WEB_DIR}/${name} content)
  string(MAKE_C_IDENTIFIER ${name} id)
  string(LENGTH "${content}" length)
  set(body "")
  set(offset 0)
  while(offset LESS length)
    string(SUBSTRING "${content}" ${offset} 16000 chunk)
    string(APPEND body "    R\"vgl(${chunk})vgl\",\n")
    math(EXPR offset "${offset} + 16000")
  endwhile()
  string(APPEND pieces "const std::string_view ${id}_pieces[] = {\n")
  string(APPEND pieces "${body}};\n")
endforeach()
file(WRITE ${OUTPUT}.tmp "// Made by cmake/embed_assets.cmake from server/web/; do not edit.
#include \"dashboard_assets.hpp\"

namespace {
${pieces}
template <std::size_t N> std::string joinedArray(const std::string_view (&parts)[N]) {
    std::string text;
    for (std::string_view part : parts) {
        text.append(part);
    }
    return text;
}
} // namespace

const std::string& dashboardPage() {
    static const std::string text = joinedArray(index_html_pieces);
    return text;
}
const std::string& dashboardStyle() {
    static const std::string text = joinedArray(app_css_pieces);
    return text;
}
const std::string& dashboardScript() {
    static const std::string text = joinedArray(app_js_pieces);
    return text;
}
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
