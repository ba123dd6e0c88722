// Placeholder translation unit until the font container lands.
namespace kestrix_placeholder {}
