-- 20,000 16 x 16 sprites at scattered positions, 120 timed frames after a first untimed one;
-- prints the sprites drawn per second and quits.
local count, frames = 20000, 120
local image, xs, ys = nil, {}, {}
local frame, started = 0, 0

function love.load()
    local data = love.image.newImageData(16, 16)
    data:mapPixel(function() return 1, 0.125, 0.125, 1 end)
    image = love.graphics.newImage(data)
    for i = 0, count - 1 do
        xs[i + 1] = (i * 7919) % 624
        ys[i + 1] = (i * 104729) % 464
    end
end

function love.draw()
    for i = 1, count do love.graphics.draw(image, xs[i], ys[i]) end
    frame = frame + 1
    if frame == 1 then
        started = love.timer.getTime()
    elseif frame == frames + 1 then
        local elapsed = love.timer.getTime() - started
        print(string.format("sprites_per_second %.0f", count * frames / elapsed))
        love.event.quit()
    end
end
