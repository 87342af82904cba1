#pragma once

#include "richedit/custom_rich_edit.h"

namespace tk {

// The rich text control the editor window holds. It publishes what TCustomRichEdit2 has and adds
// nothing of its own.
class TQE_RichEdit final : public TCustomRichEdit2 {
    Q_OBJECT

  public:
    using TCustomRichEdit2::TCustomRichEdit2;
};

}  // namespace tk
