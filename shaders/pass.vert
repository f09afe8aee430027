#version 130
// Every pass draws one triangle given directly in clip space; placing it
// unchanged makes it cover the whole target.

in vec3 position;

void main() {
    gl_Position = vec4(position, 1.0);
}
