#version 130
// The picture seen through the three UV layers, blended by their weights.
// A layer holds picture positions in texels with texel i at position i, so
// the picture is sampled at (position + 0.5) / size: with an identity layer
// that is the texel's own centre and the picture comes out unchanged.

uniform vec2 size;       // picture and target size in texels
uniform float w0;
uniform float w1;
uniform float w2;
uniform sampler2D image; // the picture: linear, mirrored repeat
uniform sampler2D uvs0;
uniform sampler2D uvs1;
uniform sampler2D uvs2;

vec4 pictureThrough(sampler2D layer) {
    ivec2 texel = clamp(ivec2(gl_FragCoord.xy), ivec2(0), textureSize(layer, 0) - 1);
    vec2 position = texelFetch(layer, texel, 0).xy;
    return texture(image, (position + 0.5) / size);
}

void main() {
    gl_FragColor = w0 * pictureThrough(uvs0) + w1 * pictureThrough(uvs1) + w2 * pictureThrough(uvs2);
}
