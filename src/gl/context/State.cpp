#include "gl/context/State.h"

#include "common/PhaseTimer.h"
#include "gl/context/Implementation/EntryPoints.h"
#include "gl/state/Implementation/GetState.h"

namespace OGL_TESK_AE {

Attributes::Attributes(unsigned attribMask, unsigned clientMask)
    : attribMask(attribMask), clientMask(clientMask), pushed(false) {}

Attributes::~Attributes() {
    ConditionallyPop();
}

void Attributes::ConditionallyPush() const {
    if (pushed) return;
    glPushAttrib(attribMask);
    glPushClientAttrib(clientMask);
    pushed = true;
}

void Attributes::ConditionallyPop() const {
    if (!pushed) return;
    // Mesa's vertex module can hold a colour given before a later state change (glEnable,
    // glPixelTransfer, ...) as pending and write it over the one glPopAttrib restores; reading a
    // current value settles it into the context first.
    GLfloat pending[4];
    glGetFloatv(GL_CURRENT_COLOR, pending);
    glPopClientAttrib();
    glPopAttrib();
    pushed = false;
}

void Attributes::Apply() const {
    ConditionallyPop();
    ConditionallyPush();
}

void Attributes::Retrieve() {
    Apply();
}

void Attributes::Restore() const {
    ConditionallyPop();
}

State::State() : framebuffer(0), program(0) {}

void State::Retrieve() {
    PhaseTimer timer(Phase::StateSave);
    textureUnit.Retrieve();
    textureBinding.Retrieve();
    textureMatrix.Retrieve();
    modelMatrix.Retrieve();
    projectionMatrix.Retrieve();
    attributes.Retrieve();
    framebuffer = GetInteger(GL_FRAMEBUFFER_BINDING_EXT);
    program = GetInteger(GL_CURRENT_PROGRAM);
}

void State::Apply() const {
    Put(true);
}

void State::Restore() const {
    Put(false);
}

void State::Put(bool keep) const {
    PhaseTimer timer(Phase::StateSave);
    TESK_GL(glBindFramebufferEXT)(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(framebuffer));
    TESK_GL(glUseProgram)(static_cast<GLuint>(program));
    if (keep)
        attributes.Apply();
    else
        attributes.Restore();
    projectionMatrix.Apply();
    modelMatrix.Apply();
    // The texture matrix and binding belong to the unit that was active when they were saved;
    // the attribute stacks leave the texture group alone, so a task that switched units must
    // not make them land on its unit.
    TextureUnit::Activate(textureUnit.unit);
    textureMatrix.Apply();
    textureBinding.Apply();
    textureUnit.Apply();
}

} // namespace OGL_TESK_AE
