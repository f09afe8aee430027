#version 130
// The picture seen through the three UV layers, blended by their weights.
// A layer holds picture positions in texels with texel i at position i, so
// an identity layer reads every texel itself and the picture comes out
// unchanged.
//
// Between texels the picture is reconstructed with a Catmull-Rom cubic
// rather than bilinear filtering: bilinear reads at fractional positions act
// as a blur, which shows even where the picture barely moves. The cubic
// passes through the texels (exact at whole positions), keeps detail between
// them and reproduces smooth gradients; its small negative lobes add little
// ringing. The texels are fetched one by one with float weights (hardware
// filter weights are quantised), and read past the edges mirrored, as the
// picture's mirrored repeat would.

uniform vec2 size;       // picture and target size in texels
uniform float w0;
uniform float w1;
uniform float w2;
uniform sampler2D image; // the picture (RGBA8), read mirrored past its edges
uniform sampler2D uvs0;
uniform sampler2D uvs1;
uniform sampler2D uvs2;

// Positions further out than this are clamped before they become indices;
// far beyond any picture size, so the mirrored pattern is unchanged there.
const float farPosition = 1.0e7;

// Texel indices mirrored like GL_MIRRORED_REPEAT: -1 reads 0, n reads n - 1,
// repeating every 2n. The final clamp keeps even a garbage index (from a
// position that is not a number) inside the picture.
ivec4 mirrored(ivec4 index, int n) {
    ivec4 m = index - (2 * n) * ivec4(floor(vec4(index) / float(2 * n)));
    m += (2 * n - 1 - 2 * m) * ivec4(greaterThanEqual(m, ivec4(n)));
    return clamp(m, ivec4(0), ivec4(n - 1));
}

// Catmull-Rom weights of the texels at -1, 0, 1, 2 from the sample's
// texel, for the fraction f in [0, 1): at f = 0 they are (0, 1, 0, 0).
void catmullRomWeights(float f, out vec4 weights) {
    weights = vec4(f * (-0.5 + f * (1.0 - 0.5 * f)),
                   1.0 + f * f * (-2.5 + 1.5 * f),
                   f * (0.5 + f * (2.0 - 1.5 * f)),
                   f * f * (-0.5 + 0.5 * f));
}

// The picture at a position in texels. Of the 4 x 4 texels of the cubic the
// four corners are left out and the rest renormalised: their weights are
// products of two outer lobes (at most 1/256 each), and twelve fetches
// instead of sixteen keep the pass affordable without a GPU. Still exact at
// whole positions, where the corners weigh nothing.
vec4 pictureAt(vec2 position) {
    ivec2 n = ivec2(size);
    vec2 whole = floor(clamp(position, vec2(-farPosition), vec2(farPosition)));
    vec2 f = position - whole;
    vec4 wx;
    vec4 wy;
    catmullRomWeights(f.x, wx);
    catmullRomWeights(f.y, wy);
    ivec4 xs = mirrored(int(whole.x) + ivec4(-1, 0, 1, 2), n.x);
    ivec4 ys = mirrored(int(whole.y) + ivec4(-1, 0, 1, 2), n.y);

    vec4 top = texelFetch(image, ivec2(xs.y, ys.x), 0) * wx.y + texelFetch(image, ivec2(xs.z, ys.x), 0) * wx.z;
    vec4 upper = texelFetch(image, ivec2(xs.x, ys.y), 0) * wx.x + texelFetch(image, ivec2(xs.y, ys.y), 0) * wx.y
               + texelFetch(image, ivec2(xs.z, ys.y), 0) * wx.z + texelFetch(image, ivec2(xs.w, ys.y), 0) * wx.w;
    vec4 lower = texelFetch(image, ivec2(xs.x, ys.z), 0) * wx.x + texelFetch(image, ivec2(xs.y, ys.z), 0) * wx.y
               + texelFetch(image, ivec2(xs.z, ys.z), 0) * wx.z + texelFetch(image, ivec2(xs.w, ys.z), 0) * wx.w;
    vec4 bottom = texelFetch(image, ivec2(xs.y, ys.w), 0) * wx.y + texelFetch(image, ivec2(xs.z, ys.w), 0) * wx.z;
    vec4 sum = top * wy.x + upper * wy.y + lower * wy.z + bottom * wy.w;
    // The twelve weights' total: everything but the corners.
    float total = (wx.y + wx.z) * (wy.x + wy.w) + wy.y + wy.z;
    return sum / total;
}

vec4 pictureThrough(sampler2D layer) {
    ivec2 texel = clamp(ivec2(gl_FragCoord.xy), ivec2(0), textureSize(layer, 0) - 1);
    return pictureAt(texelFetch(layer, texel, 0).xy);
}

void main() {
    gl_FragColor = w0 * pictureThrough(uvs0) + w1 * pictureThrough(uvs1) + w2 * pictureThrough(uvs2);
}
