// The view class the application creates: the history form as it stands.
#pragma once

#include "view/CorvaneForm.h"

class CCorvaneView : public CCorvaneForm {
    Q_OBJECT

public:
    using CCorvaneForm::CCorvaneForm;
};
