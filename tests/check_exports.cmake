# Fails unless the shared library exports the public classes and keeps its internals hidden.
execute_process(COMMAND nm -D --defined-only -C ${LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIB}")
endif()
foreach(wanted "OGL_TESK_AE::String::Format" "OGL_TESK_AE::Error::what" "OGL_TESK_AE::sThread"
               "TESK_AE::StaticList::Decrement" "OGL_TESK_AE::Thread::Execute"
               "gBlockAllEventsNotNeededForNestedRender" "OGL_TESK_AE::IsExtensionSupported"
               "OGL_TESK_AE::RootContext::Select" "OGL_TESK_AE::IsValid" "OGL_TESK_AE::OpaqueBuffer::Resize"
               "OGL_TESK_AE::Resource::FinalizeAll" "OGL_TESK_AE::GetColorSpaceFormat"
               "OGL_TESK_AE::m33f::to_closest_euler" "OGL_TESK_AE::Color::White"
               "OGL_TESK_AE::Region::operator&" "OGL_TESK_AE::sPlane" "OGL_TESK_AE::sBigGrid"
               "OGL_TESK_AE::ObjectArray::fVertices" "OGL_TESK_AE::BlendFunc::Replace"
               "OGL_TESK_AE::BlendOp::Default" "OGL_TESK_AE::SetDefault" "OGL_TESK_AE::State::Apply"
               "OGL_TESK_AE::Push<OGL_TESK_AE::BlendFunc>" "OGL_TESK_AE::TextureBuffer::Make"
               "OGL_TESK_AE::RenderBuffer::ClampMultisample" "OGL_TESK_AE::HardwareInfoString"
               "OGL_TESK_AE::Texture::FlipTransform" "OGL_TESK_AE::RenderedTexture::Read"
               "OGL_TESK_AE::TiledBuffer::Next" "OGL_TESK_AE::SubImageTexture::SetRegion"
               "OGL_TESK_AE::NoiseTexture::NoiseTexture" "OGL_TESK_AE::MultiImageTexture::SetImages"
               "OGL_TESK_AE::GLSL::Shader::LoadFile" "OGL_TESK_AE::EffectProgram::sGlow"
               "OGL_TESK_AE::Conversion::sPremultiply" "OGL_TESK_AE::NeedToConvert"
               "OGL_TESK_AE::Premultiply" "OGL_TESK_AE::RenderInvMask" "OGL_TESK_AE::GetLuma"
               "OGL_TESK_AE::MaxLuma" "OGL_TESK_AE::Shader::Parse" "OGL_TESK_AE::ParseFile::GetNextLine"
               "OGL_TESK_AE::CFileEncryptor::Encipher" "OGL_TESK_AE::ST_FLOAT"
               "OGL_TESK_AE::ShaderValues::SetShader" "OGL_TESK_AE::ShaderArg::ApplyArgModifiers"
               "OGL_TESK_AE::ShaderManager::BindShader")
    string(FIND "${symbols}" "${wanted}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing export: ${wanted}")
    endif()
endforeach()
foreach(hidden "TESK_AE::platform::" "OpenGLWorkerBackend" "CopyToBuffer" "StagingTexture" "sCommonFunctions"
               "OGL_TESK_AE::hardware::" "OGL_TESK_AE::tea::" "OGL_TESK_AE::shadertext::")
    string(FIND "${symbols}" "${hidden}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "internal symbol exported: ${hidden}")
    endif()
endforeach()
