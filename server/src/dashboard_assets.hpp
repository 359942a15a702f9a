// The dashboard's files, compiled into the program from server/web/.
#pragma once

#include <string>
#include <string_view>

const std::string& dashboardPage();
const std::string& dashboardStyle();
const std::string& dashboardScript();
