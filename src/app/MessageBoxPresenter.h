// Shows the program's messages as modal message boxes.
#pragma once

void InstallMessageBoxPresenter();
