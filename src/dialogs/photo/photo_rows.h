// The effect rows of the photo-effect dialogs and the image picker.
#pragma once

class EffectRegistry;

void RegisterPhotoRows(EffectRegistry& registry);
