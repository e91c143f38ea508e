// Opens the installed application from the install folder.
#pragma once

bool LaunchInstalledApp();
