// The engine rows of the texture, weave and plaid, backdrop, compo and lens-blur effects.
// Called by RegisterPatternRecords; repeating it changes nothing.
#pragma once

void RegisterTextureWeaveRows();
